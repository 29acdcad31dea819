#include "core/base/Clock.h"

#include <sys/sysinfo.h>
#include <unistd.h>

#include <climits>
#include <utility>

namespace {

bool SystemUptime(int32_t* now) {
  struct sysinfo info;
  if (sysinfo(&info) != 0) return false;
  *now = static_cast<int32_t>(info.uptime);
  return true;
}

void SystemSleep(unsigned int microseconds) { usleep(microseconds); }

}  // namespace

Clock::Clock() : m_Uptime(SystemUptime), m_Sleep(SystemSleep) {}

Clock::Clock(UptimeSource uptime, Sleeper sleeper)
    : m_Uptime(std::move(uptime)), m_Sleep(std::move(sleeper)) {}

Clock& Clock::System() {
  static Clock clock;
  return clock;
}

int32_t Clock::After(int32_t now, uint32_t seconds) {
  int64_t deadline = static_cast<int64_t>(now) + seconds;
  return deadline > INT32_MAX ? INT32_MAX : static_cast<int32_t>(deadline);
}
