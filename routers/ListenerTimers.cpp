// Tested by tests/router_listeners_test.cpp.
#include "routers/ListenerTimers.h"

#include "core/base/Clock.h"
#include "core/base/Schedules.h"

ListenerTimers::ListenerTimers(std::atomic<bool>* heard) : m_pHeard(heard) {}

void ListenerTimers::Start(int32_t now) {
  lastRx = now - kListenerSilenceSeconds;
  nextRefresh = now + kAddressRefreshSeconds;
  firstAfterIdle = true;
}

bool ListenerTimers::Heard(int32_t now) {
  lastRx = now;
  if (!firstAfterIdle) return false;
  firstAfterIdle = false;
  return true;
}

bool ListenerTimers::Tick(int32_t now) {
  if (now > lastRx + kListenerSilenceSeconds) {
    firstAfterIdle = true;
    *m_pHeard = false;
  }
  if (now <= nextRefresh) return false;
  nextRefresh = now + kAddressRefreshSeconds;
  return true;
}

// Idle, the silence deadline lies behind and stays there: waiting for it
// would not wait at all.
int32_t ListenerTimers::NextDeadline() const {
  return Clock::Earliest({nextRefresh, firstAfterIdle ? 0 : lastRx + kListenerSilenceSeconds});
}
