#include "core/base/Clock.h"

#include <poll.h>
#include <sys/sysinfo.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

constexpr unsigned int kFailedReadingPause = 1000000;  // microseconds
constexpr int kUntimedWaitMilliseconds = 1000;

// Whether this thread's last uptime reading failed: each loop reads and
// waits on its own thread, and one thread's failure says nothing of another.
thread_local bool t_bReadingFailed = false;

bool SystemUptime(int32_t* now) {
  struct sysinfo info;
  if (sysinfo(&info) != 0) return false;
  *now = static_cast<int32_t>(info.uptime);
  return true;
}

// One timerfd per thread, kept for the thread's life: a wait costs no
// descriptor churn.
class ThreadTimer {
 public:
  ThreadTimer() : m_Fd(timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC | TFD_NONBLOCK)) {}
  ~ThreadTimer() {
    if (m_Fd >= 0) close(m_Fd);
  }
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;

  // Arms the timer for the CLOCK_BOOTTIME instant of |until|: just past the
  // deadline's second, or the pause from now. Returns false when there is
  // nothing to arm (or no timer).
  bool Arm(const Clock::Until& until) {
    if (m_Fd < 0) return false;
    struct itimerspec at = {};
    if (until.deadline != Clock::kNoDeadline) {
      at.it_value.tv_sec = until.deadline;
      at.it_value.tv_nsec = 1;
    } else if (until.pause != 0) {
      clock_gettime(CLOCK_BOOTTIME, &at.it_value);
      const long nanos = at.it_value.tv_nsec + static_cast<long>(until.pause % 1000000) * 1000;
      at.it_value.tv_sec += until.pause / 1000000 + nanos / 1000000000;
      at.it_value.tv_nsec = nanos % 1000000000;
    } else {
      return false;
    }
    return timerfd_settime(m_Fd, TFD_TIMER_ABSTIME, &at, nullptr) == 0;
  }
  void Disarm() {
    struct itimerspec off = {};
    timerfd_settime(m_Fd, TFD_TIMER_ABSTIME, &off, nullptr);
  }
  int fd() const { return m_Fd; }

 private:
  int m_Fd;
};

// A signal (a stop) interrupts poll; the loop goes on, since the signal's
// own Wake is among the descriptors when it matters to this thread.
int SystemWait(const Clock::Until& until, const std::vector<int>& fds) {
  thread_local ThreadTimer timer;
  std::vector<struct pollfd> entries;
  for (int fd : fds) entries.push_back({fd, POLLIN, 0});
  const bool timed = timer.Arm(until);
  entries.push_back({timed ? timer.fd() : -1, POLLIN, 0});
  // Without a timer (no descriptor left for it) a pause is poll's own time-out,
  // and a deadline wait lasts a second: the caller's next reading decides.
  int timeout = -1;
  if (!timed && until.deadline != Clock::kNoDeadline) timeout = kUntimedWaitMilliseconds;
  if (!timed && until.deadline == Clock::kNoDeadline && until.pause != 0) {
    timeout = static_cast<int>(until.pause / 1000);
  }
  while (true) {
    int ready = poll(entries.data(), entries.size(), timeout);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;  // an untimed wait is over, or bad arguments
    for (size_t i = 0; i < fds.size(); ++i) {
      if (entries[i].revents != 0) {
        if (timed) timer.Disarm();
        return static_cast<int>(i);
      }
    }
    if (entries.back().revents != 0) break;
  }
  if (timed) timer.Disarm();
  return -1;
}

}  // namespace

Clock::Clock() : m_Uptime(SystemUptime), m_Wait(SystemWait) {}

Clock::Clock(UptimeSource uptime, Waiter waiter)
    : m_Uptime(std::move(uptime)), m_Wait(std::move(waiter)) {}

bool Clock::Uptime(int32_t* now) const {
  const bool ok = m_Uptime(now);
  t_bReadingFailed = !ok;
  return ok;
}

int Clock::WaitUntil(int32_t deadline, const std::vector<int>& fds) const {
  if (t_bReadingFailed) return Pause(kFailedReadingPause, fds);
  return m_Wait({deadline, 0}, fds);
}

int Clock::Pause(unsigned int microseconds, const std::vector<int>& fds) const {
  return m_Wait({kNoDeadline, microseconds}, fds);
}

Clock& Clock::System() {
  static Clock clock;
  return clock;
}

int32_t Clock::After(int32_t now, uint32_t seconds) {
  int64_t deadline = static_cast<int64_t>(now) + seconds;
  return deadline > INT32_MAX ? INT32_MAX : static_cast<int32_t>(deadline);
}

int32_t Clock::Earliest(std::initializer_list<int32_t> deadlines) {
  int32_t earliest = kNoDeadline;
  for (int32_t deadline : deadlines) {
    if (deadline > 0) earliest = std::min(earliest, deadline);
  }
  return earliest;
}
