// Tested by tests/router_listeners_test.cpp.
#include "routers/RouterRecord.h"

#include "core/base/Site.h"

quarn::stCellularInfo BuildRouterRecord(const RouterValues& values) {
  quarn::stCellularInfo info;
  info.__set_firmware(values.firmware);
  info.__set_ip(values.ip);
  info.__set_model(values.model);
  info.__set_modemid(values.modemid);
  info.__set_roaming(values.roaming);
  info.__set_rssi(std::to_string(values.rssi));
  info.__set_phone_number(values.phoneNumber);
  info.__set_network_type(values.networkType);
  info.__set_apn(kUnavailable);
  info.__set_sim_id(kUnavailable);
  info.__set_gps_mode(values.gpsMode);
  info.__set_device_type(static_cast<quarn::eCellularDeviceTypes::type>(values.deviceType));
  return info;
}
