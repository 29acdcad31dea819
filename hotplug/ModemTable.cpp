#include "hotplug/ModemTable.h"

#include "modem/ModemRunState.h"

namespace {

bool Equals(const MaybeText& text, const char* expected) {
  return text && *text == expected;
}

}  // namespace

// Table order is the order the monitor checks the rows in. Flag columns:
// foundByScan, scanUsesDevname, scanLogsIface, scanAlwaysDumps,
// monitorLogsIface, monitorLogsUsbIface.
const ModemRow kModemRows[] = {
    {"1199", "9091", nullptr, SierraEM7565, "Sierra Wireless EM7565",
     true, false, false, false, false, false},
    {"1e2d", "00a0", nullptr, NimbelinkGemalto, "Gemalto module (Nimbelink)",
     true, true, false, true, false, false},
    {"1bc7", "1201", "05", NimbelinkTelitLE910, "Telit LE910 (Nimbelink)",
     true, true, true, false, true, false},
    // The LE910-EU V2 is left to hot-plug events: the start-up scan does not
    // look for it.
    {"1bc7", "0036", "06", NimbelinkTelitLE910EUV2, "Telit LE910-EU V2 (Nimbelink)",
     false, false, false, false, true, true},
    {"1bc7", "0021", "06", NimbelinkTelitHE910, "Telit HE910 (Nimbelink)",
     true, false, true, false, true, false},
};
const size_t kModemRowCount = sizeof(kModemRows) / sizeof(kModemRows[0]);

RowMatch MatchRow(const ModemRow& row, const TtyDevice& tty) {
  if (!tty.usb || !Equals(tty.usb->vendor, row.vendor) ||
      !Equals(tty.usb->product, row.product)) {
    return RowMatch::kNone;
  }
  if (row.interfaceNum != nullptr && !Equals(tty.interfaceNum, row.interfaceNum)) {
    return RowMatch::kIdsOnly;
  }
  return RowMatch::kFull;
}
