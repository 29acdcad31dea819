// Tested by tests/router_listeners_test.cpp.
#include "routers/EventListener.h"

#include <mutex>

#include "core/base/CopyUnder.h"
#include "core/base/Globals.h"
#include "core/base/Schedules.h"
#include "core/base/Site.h"

const int EventListener::kPort = kEventPort;

EventListener::EventListener(EventMessage& event, std::atomic<bool>& eventActive)
    : m_pEvent(&event), m_Timers(&eventActive) {}

void EventListener::Start(int32_t now) {
  m_Timers.Start(now);
  lastDirect = now - kDirectPrecedenceSeconds;
}

ListenerVerdict EventListener::Consider(unsigned char* buf, int n, int32_t now) {
  if (n <= 0) return ListenerVerdict::kNothing;
  if (debug > kDebugReceived) logger->printf(6, "UDPHandlerEVENT Message: [%d]\n", n);
  if (m_Timers.Heard(now)) return ListenerVerdict::kRefreshOnly;
  if (m_pEvent->parse(buf, n) != 1) return ListenerVerdict::kRejected;
  m_Timers.Accepted();
  return Precedence(now);
}

// A phone-number-form message leaves `relayed` as the last IMEI-form header
// set it, and is judged by that.
ListenerVerdict EventListener::Precedence(int32_t now) {
  if (!CopyUnder(m_pEvent->mutex, m_pEvent->relayed)) {
    haveDirect = true;
    lastDirect = now;
    return ListenerVerdict::kPublishAndForward;
  }
  if (now > lastDirect + kDirectPrecedenceSeconds) {
    haveDirect = false;
    return ListenerVerdict::kPublish;
  }
  return haveDirect ? ListenerVerdict::kDropped : ListenerVerdict::kPublish;
}

// The rssi and the GPS mode are the low bytes of the values, taken signed.
quarn::stCellularInfo EventListener::BuildRecord() {
  EventMessage& event = *m_pEvent;
  std::mutex& lock = event.mutex;
  RouterValues values;
  values.model = kEventRouterModel;
  values.modemid = CopyUnder(lock, event.deviceId);
  values.firmware = CopyUnder(lock, event.firmware);
  values.phoneNumber = CopyUnder(lock, event.phoneNumber);
  values.ip = CopyUnder(lock, event.ipAddress);
  values.networkType = CopyUnder(lock, event.networkType);
  values.roaming = CopyUnder(lock, event.roaming) != 0;
  values.rssi = static_cast<int8_t>(CopyUnder(lock, event.rssi) & 0xff);
  values.gpsMode = static_cast<int8_t>(CopyUnder(lock, event.gpsMode) & 0xff);
  values.deviceType = CopyUnder(lock, event.relayed)
                          ? quarn::eCellularDeviceTypes::PLOTNODE_2_REMOTE
                          : quarn::eCellularDeviceTypes::PLOTNODE_2_DIRECT;
  return BuildRouterRecord(values);
}
