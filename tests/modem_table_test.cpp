#include "hotplug/ModemTable.h"

#include <string>

#include <gtest/gtest.h>

#include "modem/ModemRunState.h"

namespace {

TtyDevice Tty(const char* vendor, const char* product, const char* iface) {
  TtyDevice tty;
  tty.node = "/dev/ttyUSB0";
  if (iface != nullptr) tty.interfaceNum = iface;
  tty.usb = UsbParent();
  if (vendor != nullptr) tty.usb->vendor = vendor;
  if (product != nullptr) tty.usb->product = product;
  return tty;
}

// The code of the row that takes |tty| as its port, or -1; *idsOnly tells
// whether some row matched the ids but not the interface number.
int MatchedType(const TtyDevice& tty, bool* idsOnly) {
  int type = -1;
  *idsOnly = false;
  for (size_t i = 0; i < kModemRowCount; ++i) {
    RowMatch match = MatchRow(kModemRows[i], tty);
    if (match == RowMatch::kFull) type = kModemRows[i].type;
    if (match == RowMatch::kIdsOnly) *idsOnly = true;
  }
  return type;
}

TEST(ModemTableTest, IdsAndInterfaceNumbersSelectTheRow) {
  struct Case {
    const char* vendor;
    const char* product;
    const char* iface;  // nullptr: the tty has no ID_USB_INTERFACE_NUM
    int type;           // -1: not a modem port
    bool idsOnly;
  } cases[] = {
      // Sierra and Gemalto take every tty of the device.
      {"1199", "9091", "00", SierraEM7565, false},
      {"1199", "9091", "03", SierraEM7565, false},
      {"1199", "9091", nullptr, SierraEM7565, false},
      {"1e2d", "00a0", "00", NimbelinkGemalto, false},
      {"1e2d", "00a0", nullptr, NimbelinkGemalto, false},
      // Telit rows take one interface only.
      {"1bc7", "1201", "05", NimbelinkTelitLE910, false},
      {"1bc7", "1201", "04", -1, true},
      {"1bc7", "1201", "06", -1, true},
      {"1bc7", "1201", nullptr, -1, true},
      {"1bc7", "0036", "06", NimbelinkTelitLE910EUV2, false},
      {"1bc7", "0036", "05", -1, true},
      {"1bc7", "0021", "06", NimbelinkTelitHE910, false},
      {"1bc7", "0021", "6", -1, true},
      {"1bc7", "0021", "05", -1, true},
      // Ids are compared as exact lower-case text.
      {"1BC7", "1201", "05", -1, false},
      {"1bc7", "0021 ", "06", -1, false},
      {"1199", "9090", "00", -1, false},
      {"1bc7", "1202", "05", -1, false},
      {"9091", "1199", "00", -1, false},
      {"1e2d", "00A0", "00", -1, false},
      // Missing ids never match.
      {nullptr, "9091", "00", -1, false},
      {"1199", nullptr, "00", -1, false},
  };
  for (const Case& c : cases) {
    bool idsOnly;
    std::string what = std::string(c.vendor ? c.vendor : "-") + "/" +
                       (c.product ? c.product : "-") + " iface " + (c.iface ? c.iface : "-");
    EXPECT_EQ(c.type, MatchedType(Tty(c.vendor, c.product, c.iface), &idsOnly)) << what;
    EXPECT_EQ(c.idsOnly, idsOnly) << what;
  }
}

TEST(ModemTableTest, TtyWithoutUsbParentMatchesNoRow) {
  TtyDevice tty = Tty("1199", "9091", "00");
  tty.usb.reset();
  for (size_t i = 0; i < kModemRowCount; ++i) {
    EXPECT_EQ(RowMatch::kNone, MatchRow(kModemRows[i], tty)) << kModemRows[i].name;
  }
}

}  // namespace
