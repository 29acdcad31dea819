// Tested by tests/router_listeners_test.cpp.
#include "routers/EventListener.h"

#include <cstdio>

#include "core/base/CopyUnder.h"
#include "core/base/Globals.h"
#include "core/base/Schedules.h"
#include "routers/EventMessage.h"

EventListener::EventListener(__handler_args* args, Clock& clock, const std::string& quarnHost,
                             int quarnPort)
    : m_pArgs(args), m_Clock(clock), m_Link(clock, quarnHost, quarnPort) {}

void EventListener::Start(const char* address, int port, const char* broadcastAddress) {
  m_Link.Open(address, port, broadcastAddress);
  m_Clock.Uptime(&m_Now);
  m_Timers.Start(m_Now);
  lastDirect = m_Now - kDirectPrecedenceSeconds;
}

void EventListener::Run() {
  while (!bExitApp) RunPass();
  m_Link.Close();
}

void EventListener::RunPass() {
  int n = m_Link.Receive();
  m_Clock.Uptime(&m_Now);
  Act(Consider(m_Link.buffer(), n, m_Now), n);
  if (Tick(m_Now)) m_Link.RefreshAddresses();
}

ListenerVerdict EventListener::Consider(unsigned char* buf, int n, int32_t now) {
  if (n <= 0) return ListenerVerdict::kNothing;
  if (debug > kDebugReceived) logger->printf(6, "UDPHandlerEVENT Message: [%d]\n", n);
  if (m_Timers.Heard(now)) return ListenerVerdict::kRefreshOnly;
  if (m_pArgs->event->parse(buf, n) != 1) return ListenerVerdict::kRejected;
  m_pArgs->eventActive = true;
  return Precedence(now);
}

// A phone-number-form message leaves `relayed` as the last IMEI-form header
// set it, and is judged by that.
ListenerVerdict EventListener::Precedence(int32_t now) {
  if (!CopyUnder(m_pArgs->event->mutex, m_pArgs->event->relayed)) {
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

bool EventListener::Tick(int32_t now) {
  if (m_Timers.Silent(now)) m_pArgs->eventActive = false;
  return m_Timers.RefreshDue(now);
}

void EventListener::Act(ListenerVerdict verdict, int n) {
  switch (verdict) {
    case ListenerVerdict::kRefreshOnly:
      m_Link.RefreshAddresses();
      break;
    case ListenerVerdict::kPublish:
      m_Link.Publish(BuildRecord(), "SetMDM Event Handler\r\n");
      break;
    case ListenerVerdict::kPublishAndForward:
      m_Link.Publish(BuildRecord(), "SetMDM Event Handler\r\n");
      EventMessage::MarkRelayed(m_Link.buffer());
      m_Link.Forward(n);
      break;
    default:
      break;
  }
}

quarn::stCellularInfo EventListener::BuildRecord() {
  EventMessage* event = m_pArgs->event;
  char rssi[8];
  int8_t lowByte = static_cast<int8_t>(CopyUnder(event->mutex, event->rssi) & 0xff);
  snprintf(rssi, sizeof(rssi), "%d", lowByte);
  bool relayed = CopyUnder(event->mutex, event->relayed);

  quarn::stCellularInfo info;
  info.__set_firmware(CopyUnder(event->mutex, event->firmware));
  info.__set_ip(CopyUnder(event->mutex, event->ipAddress));
  info.__set_model(kEventRouterModel);
  info.__set_modemid(CopyUnder(event->mutex, event->deviceId));
  info.__set_roaming(CopyUnder(event->mutex, event->roaming) != 0);
  info.__set_rssi(rssi);
  info.__set_phone_number(CopyUnder(event->mutex, event->phoneNumber));
  info.__set_network_type(CopyUnder(event->mutex, event->networkType));
  info.__set_apn(kUnavailable);
  info.__set_sim_id(kUnavailable);
  info.__set_gps_mode(static_cast<int8_t>(CopyUnder(event->mutex, event->gpsMode) & 0xff));
  info.__set_device_type(relayed ? quarn::eCellularDeviceTypes::PLOTNODE_2_REMOTE
                                 : quarn::eCellularDeviceTypes::PLOTNODE_2_DIRECT);
  return info;
}
