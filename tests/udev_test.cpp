#include "hotplug/uDev.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Globals.h"
#include "modem/CellularModem.h"
#include "tests/FakeClock.h"
#include "tests/log_capture.h"
#include "tests/udev_testbed.h"

namespace {

const char kUsbBlockTemplate[] =
    "Device Node Path: /dev/bus/usb/001/004\n"
    "Device Dev Path: /devices/pci0000:00/usb1/1-1\n"
    "  VID/PID: %s %s\n"
    "  Maker\n  Modem\n"
    "  serial: 0123\n";

struct Modem {
  const char* name;
  const char* vendor;
  const char* product;
  const char* iface;
  int type;
};

const Modem kSierra = {"Sierra", "1199", "9091", "03", SierraEM7565};
const Modem kGemalto = {"Gemalto", "1e2d", "00a0", "00", NimbelinkGemalto};
const Modem kLE910 = {"LE910", "1bc7", "1201", "05", NimbelinkTelitLE910};
const Modem kEUV2 = {"LE910-EU V2", "1bc7", "0036", "06", NimbelinkTelitLE910EUV2};
const Modem kHE910 = {"HE910", "1bc7", "0021", "06", NimbelinkTelitHE910};

// A modem port as libudev would describe it. DEVNAME differs from the node
// on purpose, to show which of the two each row hands to SetPath.
TtyDevice Port(const Modem& modem, const char* action = nullptr) {
  TtyDevice tty;
  tty.node = "/dev/ttyUSB1";
  tty.devname = "/dev/ttyDEVNAME";
  tty.interfaceNum = modem.iface;
  tty.subsystem = "tty";
  if (action != nullptr) tty.action = action;
  tty.properties = {{"DEVNAME", "/dev/ttyDEVNAME"},
                    {"ID_USB_INTERFACE_NUM", modem.iface},
                    {"SUBSYSTEM", "tty"}};
  tty.usb = UsbParent();
  tty.usb->node = "/dev/bus/usb/001/004";
  tty.usb->devpath = "/devices/pci0000:00/usb1/1-1";
  tty.usb->vendor = modem.vendor;
  tty.usb->product = modem.product;
  tty.usb->manufacturer = "Maker";
  tty.usb->productName = "Modem";
  tty.usb->serial = "0123";
  return tty;
}

std::string Block(const Modem& modem) {
  char text[256];
  snprintf(text, sizeof(text), kUsbBlockTemplate, modem.vendor, modem.product);
  return text;
}

const char kDump[] =
    "DEVNAME: /dev/ttyDEVNAME\n"
    "ID_USB_INTERFACE_NUM: %s\n"
    "SUBSYSTEM: tty\n";

std::string Dump(const Modem& modem) {
  char text[256];
  snprintf(text, sizeof(text), kDump, modem.iface);
  return text;
}

std::string EventLines(const char* node, const char* action) {
  return std::string("Got Device\n   Node: ") + node +
         "\n   Subsystem: tty\n   Devtype: (null)\n   Action: " + action + "\n";
}

class uDevTest : public ::testing::Test {
 protected:
  uDevTest() : capture_(&logger), udev_(clock_.clock) {}

  void SetUp() override { ASSERT_TRUE(Testbed::Active()) << "not under the umockdev preload"; }

  Testbed testbed_;  // empty: a manual scan finds nothing
  LogCapture capture_;
  FakeClock clock_;
  CellularModem modem_;
  uDev udev_;
};

TEST_F(uDevTest, ScanAnnouncesEachRowWithItsOwnDetailLines) {
  struct Case {
    Modem modem;
    uint8_t debug;
    bool announced;
    const char* port;
    std::string lines;
  } cases[] = {
      // Verbosity 0: nothing but the Gemalto row's property dump.
      {kSierra, 0, true, "/dev/ttyUSB1", ""},
      {kGemalto, 0, true, "/dev/ttyDEVNAME", Dump(kGemalto)},
      {kLE910, 0, true, "/dev/ttyDEVNAME", ""},
      {kHE910, 0, true, "/dev/ttyUSB1", ""},
      {kEUV2, 0, false, "", ""},
      // Verbosity 1: each row's extra lines, then the USB parent.
      {kSierra, 1, true, "/dev/ttyUSB1", Block(kSierra)},
      {kGemalto, 1, true, "/dev/ttyDEVNAME",
       "Target Dev: /dev/ttyDEVNAME\n" + Block(kGemalto) + Dump(kGemalto)},
      {kLE910, 1, true, "/dev/ttyDEVNAME",
       "Target Dev: /dev/ttyDEVNAME\nTarget Iface: 05\n" + Block(kLE910)},
      {kHE910, 1, true, "/dev/ttyUSB1", "Target Iface: 06\n" + Block(kHE910)},
      {kEUV2, 1, false, "", ""},
      // Verbosity 4: the property dump follows, once.
      {kSierra, 4, true, "/dev/ttyUSB1", Block(kSierra) + Dump(kSierra)},
      {kGemalto, 4, true, "/dev/ttyDEVNAME",
       "Target Dev: /dev/ttyDEVNAME\n" + Block(kGemalto) + Dump(kGemalto)},
      {kHE910, 4, true, "/dev/ttyUSB1",
       "Target Iface: 06\n" + Block(kHE910) + Dump(kHE910)},
  };
  for (const Case& c : cases) {
    CellularModem modem;
    LogCapture capture(&logger);
    EXPECT_EQ(c.announced, udev_.ScanDevice(c.debug, Port(c.modem), &modem))
        << c.modem.name << " at " << int(c.debug);
    EXPECT_EQ(c.lines, capture.Text()) << c.modem.name << " at " << int(c.debug);
    EXPECT_EQ(c.port, modem.m_sDevPath) << c.modem.name;
    EXPECT_EQ(c.announced ? c.modem.type : 0, modem.m_ModemType.load()) << c.modem.name;
    EXPECT_EQ(c.announced ? Attached : NoModem, modem.m_State.load()) << c.modem.name;
  }
}

TEST_F(uDevTest, EventsAnnounceEveryRowWithTheNodeAsPort) {
  struct Case {
    Modem modem;
    uint8_t debug;
    std::string lines;  // after the five event lines
  } cases[] = {
      {kSierra, 0, ""},
      {kEUV2, 0, ""},
      {kSierra, 1, Block(kSierra)},
      {kGemalto, 1, Block(kGemalto)},
      {kLE910, 1, "Target Iface: 05\n" + Block(kLE910)},
      {kEUV2, 1, "usb iface 06\r\nTarget Iface: 06\n" + Block(kEUV2)},
      {kHE910, 1, "Target Iface: 06\n" + Block(kHE910)},
      {kGemalto, 4, "product 00a0\r\nvendor 1e2d\r\n" + Block(kGemalto) + Dump(kGemalto)},
      {kEUV2, 4,
       "product 0036\r\nvendor 1bc7\r\nusb iface 06\r\nTarget Iface: 06\n" + Block(kEUV2) +
           Dump(kEUV2)},
  };
  for (const Case& c : cases) {
    CellularModem modem;
    LogCapture capture(&logger);
    udev_.HandleEvent(c.debug, Port(c.modem, "add"), &modem);
    EXPECT_EQ(EventLines("/dev/ttyUSB1", "add") + c.lines, capture.Text())
        << c.modem.name << " at " << int(c.debug);
    EXPECT_EQ("/dev/ttyUSB1", modem.m_sDevPath) << c.modem.name;
    EXPECT_EQ(c.modem.type, modem.m_ModemType.load()) << c.modem.name;
    EXPECT_EQ(Attached, modem.m_State.load()) << c.modem.name;
  }
}

TEST_F(uDevTest, EUV2LogsItsInterfaceBeforeTestingIt) {
  TtyDevice wrongIface = Port(kEUV2, "change");
  wrongIface.interfaceNum = "05";
  udev_.HandleEvent(0, wrongIface, &modem_);
  udev_.HandleEvent(1, wrongIface, &modem_);
  wrongIface.interfaceNum.reset();
  udev_.HandleEvent(1, wrongIface, &modem_);
  std::string event = EventLines("/dev/ttyUSB1", "change");
  EXPECT_EQ(event + event + "usb iface 05\r\n" + event + "usb iface (null)\r\n",
            capture_.Text());
  EXPECT_EQ(NoModem, modem_.m_State.load());
}

TEST_F(uDevTest, RemoveEventTakesOnlyTheModemsPortOffline) {
  udev_.ScanDevice(0, Port(kSierra), &modem_);
  ASSERT_EQ(Attached, modem_.m_State.load());

  // Another tty: RemovePath compares paths and nothing changes.
  TtyDevice other = Port(kSierra, "remove");
  other.node = "/dev/ttyS0";
  other.usb.reset();
  udev_.HandleEvent(0, other, &modem_);
  EXPECT_EQ(Attached, modem_.m_State.load());
  EXPECT_EQ("/dev/ttyUSB1", modem_.m_sDevPath);

  // The port, its USB parent gone with it.
  TtyDevice gone = Port(kSierra, "remove");
  gone.usb.reset();
  udev_.HandleEvent(4, gone, &modem_);
  EXPECT_EQ(Offline, modem_.m_State.load());
  EXPECT_EQ(EventLines("/dev/ttyS0", "remove") + EventLines("/dev/ttyUSB1", "remove"),
            capture_.Text());
}

TEST_F(uDevTest, RemoveEventWithReadableParentAnnouncesTheModemAgain) {
  udev_.ScanDevice(0, Port(kSierra), &modem_);
  modem_.m_State = Running;
  LogCapture modemLog(&lgr);
  udev_.HandleEvent(1, Port(kSierra, "remove"), &modem_);
  // Offline first, then the ids still match and the port is back.
  EXPECT_EQ("State: Modem Offline\r\n", modemLog.Text());
  EXPECT_EQ(Attached, modem_.m_State.load());
  EXPECT_EQ("/dev/ttyUSB1", modem_.m_sDevPath);
  EXPECT_EQ(EventLines("/dev/ttyUSB1", "remove") + Block(kSierra), capture_.Text());
}

TEST_F(uDevTest, EventsWithoutUsbIdsOnlyLogTheEvent) {
  TtyDevice noIds = Port(kSierra, "add");
  noIds.usb->vendor.reset();
  noIds.devtype = "serial";
  udev_.HandleEvent(4, noIds, &modem_);
  TtyDevice noParent = Port(kSierra, "add");
  noParent.usb.reset();
  noParent.node.reset();
  udev_.HandleEvent(4, noParent, &modem_);
  EXPECT_EQ(
      "Got Device\n   Node: /dev/ttyUSB1\n   Subsystem: tty\n   Devtype: serial\n"
      "   Action: add\nproduct 9091\r\nvendor (null)\r\n" +
          EventLines("(null)", "add"),
      capture_.Text());
  EXPECT_EQ(NoModem, modem_.m_State.load());
}

// Drives ManualScanIfDue as Monitor does: one call per one-second pass.
class ManualScanTest : public uDevTest {
 protected:
  // Runs passes until the fake uptime reaches |until|; returns the uptimes
  // at which a manual scan was logged.
  std::vector<int32_t> RunUntil(int32_t until) {
    std::vector<int32_t> scans;
    while (clock_.Seconds() < until) {
      clock_.clock.Sleep(1000000);
      int before = capture_.Count("udev : initiating manual scan\n");
      udev_.ManualScanIfDue(0, &modem_, &now_, &nextScan_);
      if (capture_.Count("udev : initiating manual scan\n") > before) {
        scans.push_back(clock_.Seconds());
      }
    }
    return scans;
  }

  int32_t now_ = 100;
  int32_t nextScan_ = 115;  // Monitor started at uptime 100
};

TEST_F(ManualScanTest, ScansEveryFifteenSecondsWhileOffline) {
  clock_.AdvanceSeconds(100);
  modem_.m_State = Offline;
  EXPECT_EQ((std::vector<int32_t>{116, 132, 148}), RunUntil(150));
}

TEST_F(ManualScanTest, OnlineModemNeitherScansNorReadsTheUptime) {
  clock_.AdvanceSeconds(100);
  modem_.m_State = Running;
  EXPECT_TRUE(RunUntil(140).empty());
  EXPECT_EQ(100, now_);
  // The deadline is long past when the modem goes: the first scan is at once.
  modem_.m_State = Offline;
  EXPECT_EQ((std::vector<int32_t>{141, 157}), RunUntil(160));
}

TEST_F(ManualScanTest, FailedUptimeReadingKeepsTheLastOne) {
  clock_.AdvanceSeconds(100);
  modem_.m_State = Offline;
  clock_.failing = true;
  EXPECT_TRUE(RunUntil(130).empty());
  EXPECT_EQ(100, now_);
  clock_.failing = false;
  EXPECT_EQ((std::vector<int32_t>{131}), RunUntil(140));
}

}  // namespace
