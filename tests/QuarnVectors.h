// The daemon's two Quarn calls, records filled as its publishers fill them, with the wire
// bytes derived by hand. For service_tests. A router's record: tests/e2e/test_routers.py.
// A call: 80010001 (strict write, type call), the method name (i32 length,
// bytes), sequence id 00000000, argument 1 as a struct (0c 0001). A field:
// type (02 bool, 08 i32 or enumeration, 0b string), i16 id, value (strings
// i32 length first). 00 ends the record, a second 00 the arguments.
#ifndef WANVOX_TESTS_QUARNVECTORS_H_
#define WANVOX_TESTS_QUARNVECTORS_H_

#include <string>
#include <vector>

#include "quarn_types.h"

namespace quarn_vectors {

using namespace quarn;

struct Vector {
  const char* name;
  bool summary;  // TEL_SendMDM(modem) when true, else SetModemInfo(cellular)
  stCellularInfo cellular;
  stModemInfo modem;
  std::string hex;  // spaces are for reading only
};

// Texts in id order: model, modemid, rssi, firmware, ip, phone, network type, apn, sim id.
inline stCellularInfo Record(const std::vector<std::string>& t, bool roaming, int32_t gpsMode,
                             eCellularDeviceTypes::type device) {
  stCellularInfo info;
  info.__set_model(t[0]);
  info.__set_modemid(t[1]);
  info.__set_rssi(t[2]);
  info.__set_firmware(t[3]);
  info.__set_ip(t[4]);
  info.__set_roaming(roaming);
  info.__set_phone_number(t[5]);
  info.__set_network_type(t[6]);
  info.__set_apn(t[7]);
  info.__set_sim_id(t[8]);
  info.__set_gps_mode(gpsMode);
  info.__set_device_type(device);
  return info;
}

inline std::vector<Vector> Vectors() {
  const std::string setModemInfo = "80010001 0000000c 5365744d6f64656d496e666f 00000000 0c0001 ";
  const std::string sendMdm = "80010001 0000000b 54454c5f53656e644d444d 00000000 0c0001 ";
  stCellularInfo internal =
      Record({"EXS82-W", "351234567890123", "-71", "01.200", "100.72.14.9", "+15551230000",
              "4G LTE", "internet", "8901260123456789012"},
             false, 0, eCellularDeviceTypes::INTERNAL);
  internal.__set_current_bands("LTE B4");
  internal.__set_modem_state(eCellularModemState::MODEM_STATE_FAILED);
  internal.__set_modem_error("SIM failure");
  // Registered at home (1), SIM provisioned (2).
  internal.__set_modem_lte_registration_state(eCellularLTERegistrationState::type(1));
  internal.__set_modem_sim_subscription_state(eCellularSIMSubscriptionState::type(2));
  auto noModem = Record(std::vector<std::string>(9), false, -1, eCellularDeviceTypes::NONE);
  noModem.__set_current_bands("");
  noModem.__set_modem_state(eCellularModemState::MODEM_STATE_UNKNOWN);
  noModem.__set_modem_lte_registration_state(eCellularLTERegistrationState::type(4));  // UNKNOWN
  noModem.__set_modem_sim_subscription_state(eCellularSIMSubscriptionState::type(0));  // UNKNOWN
  stModemInfo summary;  // sNetwork (5) stays unset
  summary.__set_sModel("EXS82-W");
  summary.__set_sRSSI("-71");
  summary.__set_OperatorCode(310260);
  summary.__set_sRegState("Home");
  summary.__set_sCurrentBands("LTE B4");
  return {
      {"internal", false, internal, {}, setModemInfo +
       "0b0001 00000007 45585338322d57 0b0002 0000000f 333531323334353637383930313233 "
       "0b0003 00000003 2d3731 0b0004 00000006 30312e323030 0b0005 0000000b 3130302e37322e31342e39 "
       "020006 00 0b0007 0000000c 2b3135353531323330303030 0b0008 00000006 3447204c5445 "
       "0b0009 00000008 696e7465726e6574 0b000a 00000013 38393031323630313233343536373839303132 "
       "08000c 00000000 0b000d 00000006 4c5445204234 08000e 00000002 08000f ffffffff "
       "0b0010 0000000b 53494d206661696c757265 080011 00000001 080012 00000002 00 00"},
      {"no-modem", false, noModem, {}, setModemInfo +
       "0b0001 00000000 0b0002 00000000 0b0003 00000000 0b0004 00000000 0b0005 00000000 020006 00 "
       "0b0007 00000000 0b0008 00000000 0b0009 00000000 0b000a 00000000 08000c ffffffff "
       "0b000d 00000000 08000e 00000000 08000f 00000000 080011 00000004 080012 00000000 00 00"},
      {"internal-summary", true, {}, summary, sendMdm +
       "0b0001 00000007 45585338322d57 0b0002 00000003 2d3731 080003 0004bbf4 "
       "0b0004 00000004 486f6d65 0b0006 00000006 4c5445204234 00 00"},
  };
}

}  // namespace quarn_vectors

#endif  // WANVOX_TESTS_QUARNVECTORS_H_
