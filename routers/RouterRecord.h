// The status record a router listener publishes, built from plain values
// that the listener copied out of its message. Pure; any thread.
#ifndef WANVOX_ROUTERS_ROUTERRECORD_H_
#define WANVOX_ROUTERS_ROUTERRECORD_H_

#include <cstdint>
#include <string>

#include "quarn_types.h"

// What a router reported, as the record carries it.
struct RouterValues {
  std::string firmware;
  std::string ip;
  std::string model;
  std::string modemid;
  std::string phoneNumber;
  std::string networkType;
  bool roaming = false;
  int8_t rssi = 0;         // dBm
  int8_t gpsMode = 0;
  int32_t deviceType = 0;  // eCellularDeviceTypes
};

// stCellularInfo with |values|, the rssi as signed decimal text, and apn and
// sim_id "Unavailable" (routers do not report them). The age of the data,
// the bands and the modem states are not set.
quarn::stCellularInfo BuildRouterRecord(const RouterValues& values);

#endif  // WANVOX_ROUTERS_ROUTERRECORD_H_
