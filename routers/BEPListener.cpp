// Tested by tests/router_listeners_test.cpp.
#include "routers/BEPListener.h"

#include <cstdio>

#include "core/base/CopyUnder.h"
#include "core/base/Globals.h"
#include "routers/BEPMessage.h"

namespace {

bool IsPlotnode1(const std::string& model) {
  for (const char* plotnode1 : kPlotnode1Models) {
    if (model == plotnode1) return true;
  }
  return false;
}

}  // namespace

BEPListener::BEPListener(__handler_args* args, Clock& clock, const std::string& quarnHost,
                         int quarnPort)
    : m_pArgs(args), m_Clock(clock), m_Link(clock, quarnHost, quarnPort) {}

void BEPListener::Start(const char* address, int port, const char* broadcastAddress) {
  m_Link.Open(address, port, broadcastAddress);
  m_Clock.Uptime(&m_Now);
  m_Timers.Start(m_Now);
}

void BEPListener::Run() {
  while (!bExitApp) RunPass();
  m_Link.Close();
}

void BEPListener::RunPass() {
  int n = m_Link.Receive();
  m_Clock.Uptime(&m_Now);
  Act(Consider(m_Link.buffer(), n, m_Now), n);
  if (Tick(m_Now)) m_Link.RefreshAddresses();
}

ListenerVerdict BEPListener::Consider(unsigned char* buf, int n, int32_t now) {
  // While an event router is heard it takes precedence: BEP reports do not
  // even count as heard.
  if (m_pArgs->eventActive || n <= 0) return ListenerVerdict::kNothing;
  if (debug > kDebugReceived) logger->printf(6, "UDPHandlerBEP Message: [%d]\n", n);
  if (m_Timers.Heard(now)) return ListenerVerdict::kRefreshOnly;
  if (m_pArgs->bep->parse(buf, n) != 1) return ListenerVerdict::kRejected;
  m_pArgs->bepActive = true;
  bool forwarded = CopyUnder(m_pArgs->bep->mutex, m_pArgs->bep->ack) != 0;
  return forwarded ? ListenerVerdict::kPublish : ListenerVerdict::kPublishAndForward;
}

bool BEPListener::Tick(int32_t now) {
  if (m_Timers.Silent(now)) m_pArgs->bepActive = false;
  return m_Timers.RefreshDue(now);
}

void BEPListener::Act(ListenerVerdict verdict, int n) {
  switch (verdict) {
    case ListenerVerdict::kRefreshOnly:
      m_Link.RefreshAddresses();
      break;
    case ListenerVerdict::kPublish:
      m_Link.Publish(BuildRecord(), "SetMDM BEP Handler\r\n");
      break;
    case ListenerVerdict::kPublishAndForward:
      m_Link.Publish(BuildRecord(), "SetMDM BEP Handler\r\n");
      BEPMessage::MarkForwarded(m_Link.buffer());
      m_Link.Forward(n);
      break;
    default:
      break;
  }
}

quarn::stCellularInfo BEPListener::BuildRecord() {
  BEPMessage* bep = m_pArgs->bep;
  std::string model = CopyUnder(bep->mutex, bep->Model);
  bool ack = CopyUnder(bep->mutex, bep->ack) != 0;
  char rssi[8];
  snprintf(rssi, sizeof(rssi), "%d", CopyUnder(bep->mutex, bep->rssi));

  quarn::stCellularInfo info;
  info.__set_firmware(CopyUnder(bep->mutex, bep->firmwareVersion));
  info.__set_ip(CopyUnder(bep->mutex, bep->ipAddressText));
  info.__set_model(model);
  info.__set_modemid(CopyUnder(bep->mutex, bep->deviceId));
  info.__set_roaming(CopyUnder(bep->mutex, bep->roaming) != 0);
  info.__set_rssi(rssi);
  info.__set_phone_number(CopyUnder(bep->mutex, bep->Phone));
  info.__set_network_type(CopyUnder(bep->mutex, bep->network));
  info.__set_apn(kUnavailable);
  info.__set_sim_id(kUnavailable);
  info.__set_gps_mode(static_cast<int8_t>(CopyUnder(bep->mutex, bep->gpsFixQuality) & 0xff));
  info.__set_device_type(static_cast<quarn::eCellularDeviceTypes::type>(DeviceType(ack, model)));
  return info;
}

int32_t BEPListener::DeviceType(bool ack, const std::string& model) {
  if (!ack) {
    return IsPlotnode1(model) ? quarn::eCellularDeviceTypes::PLOTNODE_1_DIRECT
                              : quarn::eCellularDeviceTypes::UNKNOWN;
  }
  if (IsPlotnode1(model)) return quarn::eCellularDeviceTypes::PLOTNODE_1_REMOTE;
  if (model == kEventRouterModel) return quarn::eCellularDeviceTypes::PLOTNODE_2_REMOTE;
  return quarn::eCellularDeviceTypes::BRANTOR_DIRECT;
}
