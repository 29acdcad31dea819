#include "core/StatusRecords.h"

#include <mutex>
#include <string>

#include "core/base/CopyUnder.h"
#include "core/base/Site.h"
#include "modem/CellularModem.h"
#include "routers/BEPMessage.h"
#include "routers/EventMessage.h"

namespace {

// The address is published only while registered; IPv6 wins when known.
std::string PublishedAddress(CellularModem& modem) {
  if (!CopyUnder(modem.m_InfoLock, modem.m_bRegistered)) return "";
  std::string ipv6 = CopyUnder(modem.m_InfoLock, modem.m_sIPv6Address);
  if (!ipv6.empty()) return ipv6;
  return CopyUnder(modem.m_InfoLock, modem.m_sIPAddress);
}

std::string CurrentBands(CellularModem& modem) {
  std::string bands;
  modem.GetCurrentBands(bands);
  return bands;
}

}  // namespace

int32_t ClampModemState(int32_t state) {
  int32_t low = static_cast<int8_t>(state & 0xff);
  return (low >= -1 && low <= 11) ? low : quarn::eCellularModemState::MODEM_STATE_UNKNOWN;
}

int32_t ClampRegistrationState(int32_t state) {
  return (state >= 0 && state <= 10)
             ? state
             : quarn::eCellularLTERegistrationState::MODEM_3GPP_REGISTRATION_STATE_UNKNOWN;
}

int32_t ClampSubscriptionState(int32_t state) {
  return (state >= 1 && state <= 3)
             ? state
             : quarn::eCellularSIMSubscriptionState::MODEM_3GPP_SUBSCRIPTION_STATE_UNKNOWN;
}

quarn::stCellularInfo BuildInternalRecord(CellularModem& modem) {
  std::mutex& lock = modem.m_InfoLock;
  quarn::stCellularInfo info;
  info.__set_model(CopyUnder(lock, modem.m_sModel));
  info.__set_rssi(CopyUnder(lock, modem.m_sRSSI));
  info.__set_firmware(CopyUnder(lock, modem.m_sRevision));
  info.__set_ip(PublishedAddress(modem));
  info.__set_modemid(CopyUnder(lock, modem.m_sIMEI));
  info.__set_roaming(CopyUnder(lock, modem.m_bRoaming));
  info.__set_phone_number(CopyUnder(lock, modem.m_sPhoneNumber));
  info.__set_network_type(CopyUnder(lock, modem.m_sNetworkType));
  info.__set_apn(CopyUnder(lock, modem.m_Config.apn));
  info.__set_sim_id(CopyUnder(lock, modem.m_sSimId));
  info.__set_gps_mode(0);
  info.__set_current_bands(CurrentBands(modem));
  info.__set_device_type(quarn::eCellularDeviceTypes::INTERNAL);
  info.__set_modem_state(static_cast<quarn::eCellularModemState::type>(
      ClampModemState(CopyUnder(lock, modem.m_ModemState))));
  info.__set_modem_error(CopyUnder(lock, modem.m_sModemError));
  info.__set_modem_lte_registration_state(
      static_cast<quarn::eCellularLTERegistrationState::type>(
          ClampRegistrationState(CopyUnder(lock, modem.m_RegState))));
  info.__set_modem_sim_subscription_state(
      static_cast<quarn::eCellularSIMSubscriptionState::type>(
          ClampSubscriptionState(CopyUnder(lock, modem.m_SimSubState))));
  return info;
}

quarn::stCellularInfo BuildNoModemRecord() {
  quarn::stCellularInfo info;
  info.__set_model("");
  info.__set_rssi("");
  info.__set_firmware("");
  info.__set_ip("");
  info.__set_modemid("");
  info.__set_roaming(false);
  info.__set_phone_number("");
  info.__set_network_type("");
  info.__set_apn("");
  info.__set_sim_id("");
  info.__set_gps_mode(-1);
  info.__set_current_bands("");
  info.__set_device_type(quarn::eCellularDeviceTypes::NONE);
  info.__set_modem_state(quarn::eCellularModemState::MODEM_STATE_UNKNOWN);
  info.__set_modem_lte_registration_state(
      quarn::eCellularLTERegistrationState::MODEM_3GPP_REGISTRATION_STATE_UNKNOWN);
  info.__set_modem_sim_subscription_state(
      quarn::eCellularSIMSubscriptionState::MODEM_3GPP_SUBSCRIPTION_STATE_UNKNOWN);
  return info;
}

quarn::stModemInfo BuildBEPSummary(BEPMessage& bep) {
  quarn::stModemInfo summary;
  summary.__set_sModel(CopyUnder(bep.mutex, bep.Model));
  // Routers report a negative dBm; the summary carries its magnitude.
  int rssi = CopyUnder(bep.mutex, bep.rssi);
  summary.__set_sRSSI(std::to_string(-rssi));
  summary.__set_sNetwork("N/A");
  return summary;
}

quarn::stModemInfo BuildEventSummary(EventMessage& event) {
  quarn::stModemInfo summary;
  summary.__set_sModel(kEventRouterModel);
  int rssi = static_cast<int8_t>(CopyUnder(event.mutex, event.rssi) & 0xff);
  summary.__set_sRSSI(std::to_string(rssi));
  summary.__set_sNetwork(CopyUnder(event.mutex, event.networkText));
  return summary;
}

quarn::stModemInfo BuildInternalSummary(CellularModem& modem) {
  std::mutex& lock = modem.m_InfoLock;
  quarn::stModemInfo summary;
  summary.__set_sModel(CopyUnder(lock, modem.m_sModel));
  summary.__set_sRSSI(CopyUnder(lock, modem.m_sRSSI));
  summary.__set_sRegState(CopyUnder(lock, modem.m_sRegState));
  summary.__set_OperatorCode(CopyUnder(lock, modem.m_OperatorCode));
  summary.__set_sCurrentBands(CurrentBands(modem));
  return summary;
}
