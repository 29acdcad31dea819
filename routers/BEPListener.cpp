// Tested by tests/router_listeners_test.cpp.
#include "routers/BEPListener.h"

#include <mutex>

#include "core/base/CopyUnder.h"
#include "core/base/Globals.h"
#include "core/base/Site.h"

namespace {

bool IsPlotnode1(const std::string& model) {
  for (const char* plotnode1 : kPlotnode1Models) {
    if (model == plotnode1) return true;
  }
  return false;
}

}  // namespace

const int BEPListener::kPort = kBEPPort;

BEPListener::BEPListener(BEPMessage& bep, std::atomic<bool>& bepActive,
                         const std::atomic<bool>& eventActive)
    : m_pBEP(&bep), m_pEventActive(&eventActive), m_Timers(&bepActive) {}

ListenerVerdict BEPListener::Consider(unsigned char* buf, int n, int32_t now) {
  if (*m_pEventActive || n <= 0) return ListenerVerdict::kNothing;
  if (debug > kDebugReceived) logger->printf(6, "UDPHandlerBEP Message: [%d]\n", n);
  if (m_Timers.Heard(now)) return ListenerVerdict::kRefreshOnly;
  if (m_pBEP->parse(buf, n) != 1) return ListenerVerdict::kRejected;
  m_Timers.Accepted();
  bool forwarded = CopyUnder(m_pBEP->mutex, m_pBEP->ack) != 0;
  return forwarded ? ListenerVerdict::kPublish : ListenerVerdict::kPublishAndForward;
}

quarn::stCellularInfo BEPListener::BuildRecord() {
  BEPMessage& bep = *m_pBEP;
  std::mutex& lock = bep.mutex;
  RouterValues values;
  values.model = CopyUnder(lock, bep.Model);
  values.deviceType = DeviceType(CopyUnder(lock, bep.ack) != 0, values.model);
  values.rssi = CopyUnder(lock, bep.rssi);
  values.roaming = CopyUnder(lock, bep.roaming) != 0;
  values.modemid = CopyUnder(lock, bep.deviceId);
  values.firmware = CopyUnder(lock, bep.firmwareVersion);
  values.phoneNumber = CopyUnder(lock, bep.Phone);
  values.ip = CopyUnder(lock, bep.ipAddressText);
  values.networkType = CopyUnder(lock, bep.network);
  values.gpsMode = static_cast<int8_t>(CopyUnder(lock, bep.gpsFixQuality) & 0xff);
  return BuildRouterRecord(values);
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
