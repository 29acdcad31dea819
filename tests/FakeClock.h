// A Clock whose uptime moves only when a test or a wait moves it. A wait ends at once when one
// of its descriptors is readable (a Wake was rung, a datagram came); otherwise the uptime jumps
// to where the wait ends: the first reading past its deadline, or its pause later. A wait that
// nothing but input can end blocks on its descriptors for real.
#ifndef WANVOX_TESTS_FAKECLOCK_H_
#define WANVOX_TESTS_FAKECLOCK_H_

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/base/Clock.h"

class FakeClock {
 public:
  FakeClock()
      : clock([this](int32_t* now) {
                if (failing) return false;
                *now = Seconds();
                return true;
              },
              [this](const Clock::Until& until, const std::vector<int>& fds) {
                return Wait(until, fds);
              }) {}

  void AdvanceSeconds(int64_t seconds) { micros += seconds * 1000000; }
  int32_t Seconds() const { return static_cast<int32_t>(micros / 1000000); }
  // Where |until| ends from now: a deadline d at the first reading past d.
  int64_t End(const Clock::Until& until) const {
    if (until.deadline != Clock::kNoDeadline) return (until.deadline + int64_t{1}) * 1000000;
    return until.pause != 0 ? micros + until.pause : INT64_MAX;
  }

  std::atomic<int64_t> micros{0};  // uptime
  bool failing = false;            // uptime readings fail while set
  int behind = 0;                  // deadline waits that ended where they began: a spin
  std::function<void(const Clock::Until&)> onWait;  // before each wait decides
  Clock clock;

 private:
  int Wait(const Clock::Until& until, const std::vector<int>& fds) {
    if (onWait) onWait(until);
    std::vector<pollfd> entries;
    for (int fd : fds) entries.push_back({fd, POLLIN, 0});
    const int64_t end = End(until);
    if (poll(entries.data(), entries.size(), end == INT64_MAX ? -1 : 0) > 0) {
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].revents != 0) return static_cast<int>(i);
      }
    }
    if (end == INT64_MAX) return -1;  // interrupted
    if (end <= micros) ++behind;
    micros = std::max<int64_t>(micros, end);
    return -1;
  }
};

#endif  // WANVOX_TESTS_FAKECLOCK_H_
