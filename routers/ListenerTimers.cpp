// Tested by tests/listeners_test.cpp.
#include "routers/ListenerTimers.h"

void ListenerTimers::Start(int32_t now) {
  lastRx = now - kSilence;
  nextRefresh = now + kRefreshPeriod;
  m_bFirstAfterIdle = true;
}

bool ListenerTimers::Heard(int32_t now) {
  lastRx = now;
  if (!m_bFirstAfterIdle) return false;
  m_bFirstAfterIdle = false;
  return true;
}

bool ListenerTimers::Silent(int32_t now) {
  if (now <= lastRx + kSilence) return false;
  m_bFirstAfterIdle = true;
  return true;
}

bool ListenerTimers::RefreshDue(int32_t now) {
  if (now <= nextRefresh) return false;
  nextRefresh = now + kRefreshPeriod;
  return true;
}
