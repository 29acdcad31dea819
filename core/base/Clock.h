// Clock: whole seconds of system uptime, and the waits of every loop. Every
// timer of the daemon goes through one of these, so tests can drive the
// schedules without waiting. Any thread.
//
// A loop waits for its earliest deadline or its own input (a socket, its
// Wake), never in short polls. The real clock reads sysinfo(), whose uptime
// is CLOCK_BOOTTIME rounded up: a reading first exceeds a deadline d the
// moment CLOCK_BOOTTIME passes d seconds, and that absolute instant is what a
// deadline wait sleeps until (a timerfd on CLOCK_BOOTTIME).
#ifndef WANVOX_CORE_BASE_CLOCK_H_
#define WANVOX_CORE_BASE_CLOCK_H_

#include <climits>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

class Clock {
 public:
  static constexpr int32_t kNoDeadline = INT32_MAX;  // waits for input only

  // What ends a wait by itself: an uptime reading past |deadline|, or, when
  // the deadline is kNoDeadline and |pause| is not 0, |pause| microseconds.
  struct Until {
    int32_t deadline;
    unsigned int pause;
  };

  // Stores whole seconds since boot in *now and returns true; returns false
  // and leaves *now alone when the reading fails.
  using UptimeSource = std::function<bool(int32_t* now)>;
  // Blocks until |until| or until one of |fds| (-1 entries are skipped) is
  // readable. Returns the index of a readable one, or -1 when the time came.
  using Waiter = std::function<int(const Until& until, const std::vector<int>& fds)>;

  // The real clock: sysinfo() and poll() beside a timerfd on CLOCK_BOOTTIME.
  Clock();
  Clock(UptimeSource uptime, Waiter waiter);

  bool Uptime(int32_t* now) const;

  // Waits until an uptime reading would be past |deadline| (kNoDeadline:
  // for input only) or one of |fds| is readable; returns as Waiter does. The
  // caller drains what woke it. After a failed reading (on the same thread)
  // a wait lasts at most a second, so that a loop whose clock does not answer polls instead of
  // spinning on a deadline it cannot see pass.
  int WaitUntil(int32_t deadline, const std::vector<int>& fds) const;
  // Waits |microseconds| or until one of |fds| is readable.
  int Pause(unsigned int microseconds, const std::vector<int>& fds) const;

  // The process's real clock.
  static Clock& System();

  // The deadline |seconds| after the uptime |now|, held at INT32_MAX.
  static int32_t After(int32_t now, uint32_t seconds);

  // The earliest of |deadlines| that is greater than 0 (a deadline of 0 or
  // less never comes), or kNoDeadline.
  static int32_t Earliest(std::initializer_list<int32_t> deadlines);

 private:
  UptimeSource m_Uptime;
  Waiter m_Wait;
};

#endif  // WANVOX_CORE_BASE_CLOCK_H_
