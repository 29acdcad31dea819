// A Clock whose uptime moves only when a test (or a sleep) moves it.
#ifndef WANVOX_TESTS_FAKECLOCK_H_
#define WANVOX_TESTS_FAKECLOCK_H_

#include <cstdint>

#include "core/base/Clock.h"

class FakeClock {
 public:
  FakeClock()
      : clock([this](int32_t* now) {
                if (failing) return false;
                *now = static_cast<int32_t>(micros / 1000000);
                return true;
              },
              [this](unsigned int us) { micros += us; }) {}

  void AdvanceSeconds(int64_t seconds) { micros += seconds * 1000000; }
  int32_t Seconds() const { return static_cast<int32_t>(micros / 1000000); }

  int64_t micros = 0;    // uptime, advanced by sleeps
  bool failing = false;  // uptime readings fail while set
  Clock clock;
};

#endif  // WANVOX_TESTS_FAKECLOCK_H_
