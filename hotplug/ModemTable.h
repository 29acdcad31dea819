// ModemTable: the supported modems and how a tty device is matched against
// them. Constant data and pure functions; any thread.
#ifndef WANVOX_HOTPLUG_MODEMTABLE_H_
#define WANVOX_HOTPLUG_MODEMTABLE_H_

#include <cstddef>

#include "hotplug/TtyDevice.h"

struct ModemRow {
  const char* vendor;        // "idVendor" of the USB parent, exact text
  const char* product;       // "idProduct" of the USB parent, exact text
  const char* interfaceNum;  // required "ID_USB_INTERFACE_NUM", or nullptr: any
  int type;                  // ModemType code stored in CellularModem
  const char* name;          // for tests and readers of the table
  bool foundByScan;          // false: only a hot-plug event announces it
  // How announcing differs between rows (the detail lines grew per modem):
  bool scanUsesDevname;      // scan: port from "DEVNAME", "Target Dev" line
  bool scanLogsIface;        // scan: "Target Iface" line
  bool scanAlwaysDumps;      // scan: property dump whatever the verbosity
  bool monitorLogsIface;     // monitor: "Target Iface" line
  bool monitorLogsUsbIface;  // monitor: "usb iface" line once the ids match
};

extern const ModemRow kModemRows[];
extern const size_t kModemRowCount;

enum class RowMatch {
  kNone,     // vendor or product differs (or the tty has no USB parent)
  kIdsOnly,  // ids match, the required interface number does not
  kFull,     // the tty is this modem's port
};

RowMatch MatchRow(const ModemRow& row, const TtyDevice& tty);

#endif  // WANVOX_HOTPLUG_MODEMTABLE_H_
