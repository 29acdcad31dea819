// Clock: whole seconds of system uptime and the loops' sleeps. Every timer of
// the daemon goes through one of these, so tests can drive the schedules
// without waiting. Any thread; the real clock is stateless.
#ifndef WANVOX_CORE_BASE_CLOCK_H_
#define WANVOX_CORE_BASE_CLOCK_H_

#include <cstdint>
#include <functional>

class Clock {
 public:
  // Stores whole seconds since boot in *now and returns true; returns false
  // and leaves *now alone when the reading fails.
  using UptimeSource = std::function<bool(int32_t* now)>;
  using Sleeper = std::function<void(unsigned int microseconds)>;

  // The real clock: sysinfo() and usleep().
  Clock();
  Clock(UptimeSource uptime, Sleeper sleeper);

  bool Uptime(int32_t* now) const { return m_Uptime(now); }
  void Sleep(unsigned int microseconds) const { m_Sleep(microseconds); }

  // The process's real clock.
  static Clock& System();

  // The deadline |seconds| after the uptime |now|, held at INT32_MAX.
  static int32_t After(int32_t now, uint32_t seconds);

 private:
  UptimeSource m_Uptime;
  Sleeper m_Sleep;
};

#endif  // WANVOX_CORE_BASE_CLOCK_H_
