// Tested by tests/router_listeners_test.cpp.
#include "routers/ListenerTimers.h"

#include "core/base/Schedules.h"

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

bool ListenerTimers::Silent(int32_t now) {
  if (now <= lastRx + kListenerSilenceSeconds) return false;
  firstAfterIdle = true;
  return true;
}

bool ListenerTimers::RefreshDue(int32_t now) {
  if (now <= nextRefresh) return false;
  nextRefresh = now + kAddressRefreshSeconds;
  return true;
}
