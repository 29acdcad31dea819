#include "tests/QuarnVectors.h"

#include <cstdio>
#include <memory>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "Quarn.h"

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;
using quarn::stCellularInfo;
using quarn::stModemInfo;

namespace {

// Both calls open the same way: version 1 with type call (80 01 00 01), the
// method name as a length-prefixed string, sequence id 0; then the argument
// struct's field 1 of type struct (0c 0001). Each ends with the record's stop
// byte and the argument struct's stop byte.
const std::string kSetModemInfoCall =
    "80010001 0000000c 5365744d6f64656d496e666f 00000000  0c 0001 ";
const std::string kTelSendMdmCall = "80010001 0000000b 54454c5f53656e644d444d 00000000  0c 0001 ";

std::string Send(const stCellularInfo& info) {
  auto buffer = std::make_shared<TMemoryBuffer>();
  quarn::QuarnClient client(std::make_shared<TBinaryProtocol>(buffer));
  client.send_SetModemInfo(info);
  return buffer->getBufferAsString();
}

std::string Send(const stModemInfo& info) {
  auto buffer = std::make_shared<TMemoryBuffer>();
  quarn::QuarnClient client(std::make_shared<TBinaryProtocol>(buffer));
  client.send_TEL_SendMDM(info);
  return buffer->getBufferAsString();
}

// The status publisher's record for a registered internal modem.
stCellularInfo InternalRecord() {
  stCellularInfo info;
  info.__set_model("EXS82-W");
  info.__set_rssi("-71");
  info.__set_firmware("01.200");
  info.__set_ip("100.72.14.9");
  info.__set_modemid("351234567890123");
  info.__set_roaming(false);
  info.__set_phone_number("+15551230000");
  info.__set_network_type("4G LTE");
  info.__set_apn("internet");
  info.__set_sim_id("8901260123456789012");
  info.__set_gps_mode(0);
  info.__set_current_bands("LTE B4");
  info.__set_device_type(quarn::eCellularDeviceTypes::INTERNAL);
  info.__set_modem_state(quarn::eCellularModemState::MODEM_STATE_FAILED);
  info.__set_modem_error("SIM failure");
  info.__set_modem_lte_registration_state(
      quarn::eCellularLTERegistrationState::MODEM_3GPP_REGISTRATION_STATE_HOME);
  info.__set_modem_sim_subscription_state(
      quarn::eCellularSIMSubscriptionState::MODEM_3GPP_SUBSCRIPTION_STATE_PROVISIONED);
  return info;
}

// The BEP listener's record for a BT-5830v2 heard directly (ACK flag clear).
stCellularInfo BepRouterRecord() {
  stCellularInfo info;
  info.__set_firmware("2.1.4");
  info.__set_ip("100.64.0.17");
  info.__set_model("BT-5830v2");
  info.__set_modemid("356789012345678");
  info.__set_roaming(true);
  info.__set_rssi("-75");
  info.__set_phone_number("+15559870000");
  info.__set_network_type("LTE");
  info.__set_apn("Unavailable");
  info.__set_sim_id("Unavailable");
  info.__set_gps_mode(1);
  info.__set_device_type(quarn::eCellularDeviceTypes::PLOTNODE_1_DIRECT);
  return info;
}

// The event listener's record for a GX450 heard directly.
stCellularInfo EventRouterRecord() {
  stCellularInfo info;
  info.__set_firmware("N/A");
  info.__set_ip("100.64.0.30");
  info.__set_model("GX450-Sierra");
  info.__set_modemid("353270040000000");
  info.__set_roaming(false);
  info.__set_rssi("-88");
  info.__set_phone_number("");
  info.__set_network_type("HSPA+");
  info.__set_apn("Unavailable");
  info.__set_sim_id("Unavailable");
  info.__set_gps_mode(0);
  info.__set_device_type(quarn::eCellularDeviceTypes::PLOTNODE_2_DIRECT);
  return info;
}

// The publisher's BEP summary for a router reporting rssi -75.
stModemInfo BepSummary() {
  stModemInfo info;
  info.__set_sModel("BT-5830v2");
  info.__set_sRSSI("75");
  info.__set_sNetwork("N/A");
  return info;
}

}  // namespace

stCellularInfo NoModemRecord() {
  stCellularInfo info;
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

stModemInfo InternalSummary() {
  stModemInfo info;
  info.__set_sModel("EXS82-W");
  info.__set_sRSSI("-71");
  info.__set_sRegState("Home");
  info.__set_OperatorCode(310260);
  info.__set_sCurrentBands("LTE B4");
  return info;
}

const std::vector<QuarnVector>& QuarnVectors() {
  // Field header: wire type (bool 02, i32 08, string 0b), then the i16 id.
  static const std::vector<QuarnVector> kVectors = {
      {"internal", [] { return Send(InternalRecord()); },
       kSetModemInfoCall +
       "0b 0001 00000007 45585338322d57"                           // model "EXS82-W"
       "0b 0002 0000000f 333531323334353637383930313233"           // modemid
       "0b 0003 00000003 2d3731"                                   // rssi "-71"
       "0b 0004 00000006 30312e323030"                             // firmware "01.200"
       "0b 0005 0000000b 3130302e37322e31342e39"                   // ip "100.72.14.9"
       "02 0006 00"                                                // roaming false
       "0b 0007 0000000c 2b3135353531323330303030"                 // phone_number
       "0b 0008 00000006 3447204c5445"                             // network_type "4G LTE"
       "0b 0009 00000008 696e7465726e6574"                         // apn "internet"
       "0b 000a 00000013 38393031323630313233343536373839303132"   // sim_id
       "08 000c 00000000"                                          // gps_mode 0
       "0b 000d 00000006 4c5445204234"                             // current_bands "LTE B4"
       "08 000e 00000002"                                          // device_type INTERNAL
       "08 000f ffffffff"                                          // modem_state FAILED (-1)
       "0b 0010 0000000b 53494d206661696c757265"                   // modem_error "SIM failure"
       "08 0011 00000001"                                          // registration HOME
       "08 0012 00000002"                                          // subscription PROVISIONED
       "00 00"},
      {"no-modem", [] { return Send(NoModemRecord()); },
       kSetModemInfoCall +
       "0b 0001 00000000"   // model ""
       "0b 0002 00000000"   // modemid ""
       "0b 0003 00000000"   // rssi ""
       "0b 0004 00000000"   // firmware ""
       "0b 0005 00000000"   // ip ""
       "02 0006 00"         // roaming false
       "0b 0007 00000000"   // phone_number ""
       "0b 0008 00000000"   // network_type ""
       "0b 0009 00000000"   // apn ""
       "0b 000a 00000000"   // sim_id ""
       "08 000c ffffffff"   // gps_mode -1
       "0b 000d 00000000"   // current_bands ""
       "08 000e 00000000"   // device_type NONE
       "08 000f 00000000"   // modem_state UNKNOWN
       "08 0011 00000004"   // registration UNKNOWN
       "08 0012 00000000"   // subscription UNKNOWN
       "00 00"},            // no modem_error (16), no age_of_data (11)
      {"bep-router", [] { return Send(BepRouterRecord()); },
       kSetModemInfoCall +
       "0b 0001 00000009 42542d353833307632"               // model "BT-5830v2"
       "0b 0002 0000000f 333536373839303132333435363738"   // modemid
       "0b 0003 00000003 2d3735"                           // rssi "-75"
       "0b 0004 00000005 322e312e34"                       // firmware "2.1.4"
       "0b 0005 0000000b 3130302e36342e302e3137"           // ip "100.64.0.17"
       "02 0006 01"                                        // roaming true
       "0b 0007 0000000c 2b3135353539383730303030"         // phone_number
       "0b 0008 00000003 4c5445"                           // network_type "LTE"
       "0b 0009 0000000b 556e617661696c61626c65"           // apn "Unavailable"
       "0b 000a 0000000b 556e617661696c61626c65"           // sim_id "Unavailable"
       "08 000c 00000001"                                  // gps_mode 1
       "08 000e 00000007"                                  // device_type PLOTNODE_1_DIRECT
       "00 00"},
      {"event-router", [] { return Send(EventRouterRecord()); },
       kSetModemInfoCall +
       "0b 0001 0000000c 47583435302d536965727261"         // model "GX450-Sierra"
       "0b 0002 0000000f 333533323730303430303030303030"   // modemid
       "0b 0003 00000003 2d3838"                           // rssi "-88"
       "0b 0004 00000003 4e2f41"                           // firmware "N/A"
       "0b 0005 0000000b 3130302e36342e302e3330"           // ip "100.64.0.30"
       "02 0006 00"                                        // roaming false
       "0b 0007 00000000"                                  // phone_number ""
       "0b 0008 00000005 485350412b"                       // network_type "HSPA+"
       "0b 0009 0000000b 556e617661696c61626c65"           // apn "Unavailable"
       "0b 000a 0000000b 556e617661696c61626c65"           // sim_id "Unavailable"
       "08 000c 00000000"                                  // gps_mode 0
       "08 000e 00000005"                                  // device_type PLOTNODE_2_DIRECT
       "00 00"},
      {"fresh-record", [] { return Send(stCellularInfo()); },
       kSetModemInfoCall +
       "0b 0001 00000000"   // model "" is required, so written even when never set
       "00 00"},
      {"internal-summary", [] { return Send(InternalSummary()); },
       kTelSendMdmCall +
       "0b 0001 00000007 45585338322d57"   // sModel "EXS82-W"
       "0b 0002 00000003 2d3731"           // sRSSI "-71"
       "08 0003 0004bbf4"                  // OperatorCode 310260
       "0b 0004 00000004 486f6d65"         // sRegState "Home"
       "0b 0006 00000006 4c5445204234"     // sCurrentBands "LTE B4" (no sNetwork, 5)
       "00 00"},
      {"bep-summary", [] { return Send(BepSummary()); },
       kTelSendMdmCall +
       "0b 0001 00000009 42542d353833307632"   // sModel "BT-5830v2"
       "0b 0002 00000002 3735"                 // sRSSI "75"
       "0b 0005 00000003 4e2f41"               // sNetwork "N/A"
       "00 00"},
  };
  return kVectors;
}

std::string ToHex(const std::string& bytes) {
  std::string hex;
  char digits[3];
  for (unsigned char byte : bytes) {
    snprintf(digits, sizeof(digits), "%02x", byte);
    hex += digits;
  }
  return hex;
}

std::string SquashHex(const std::string& hex) {
  std::string squashed;
  for (char digit : hex) {
    if (digit != ' ') squashed += digit;
  }
  return squashed;
}
