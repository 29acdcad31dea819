// The cellular settings record, filled from /etc/ostrel/cell/cellular.conf by
// CellularModem on the modem thread; the publisher copies `apn`. Guarded by
// CellularModem::m_InfoLock while it is that object's m_Config.
#ifndef WANVOX_MODEM_CELLULARCONFIG_H_
#define WANVOX_MODEM_CELLULARCONFIG_H_

#include <sys/stat.h>

#include <string>

struct __cellular_cfg {
  struct stat fileStatus = {};  // status of cellular.conf at the last load
  std::string apn;              // APN of the selected slot, only reported
  std::string slot;             // "A" by default; only "B" selects slot B
};

// The carrier-assigned enterprise APN, fixed at build time: written into the
// default settings document and used whenever the file names no APN.
extern const char* const kDefaultAPN;

// The settings document written when cellular.conf is missing or unusable:
// one line, a space after every colon and comma.
std::string DefaultCellularConfig();

#endif  // WANVOX_MODEM_CELLULARCONFIG_H_
