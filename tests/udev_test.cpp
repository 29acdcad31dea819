#include "hotplug/uDev.h"

#include <glob.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <umockdev.h>

#include "core/base/Globals.h"
#include "modem/CellularModem.h"
#include "tests/FakeClock.h"
#include "tests/log_capture.h"

namespace {

struct Modem {
  const char *vendor, *product, *iface;  // vendor, iface nullptr: no "idVendor", no interface
  int type;
};
const Modem kSierra = {"1199", "9091", "03", SierraEM7565};
const Modem kGemalto = {"1e2d", "00a0", "00", NimbelinkGemalto};
const Modem kLE910 = {"1bc7", "1201", "05", NimbelinkTelitLE910};
const Modem kEUV2 = {"1bc7", "0036", "06", NimbelinkTelitLE910EUV2};
const Modem kHE910 = {"1bc7", "0021", "06", NimbelinkTelitHE910};

// DEVNAME differs from the node, to show which one each row hands to SetPath.
const char kNode[] = "/dev/ttyUSB1";
TtyDevice Port(const Modem& m, const char* action) {
  auto text = [](const char* s) { return s != nullptr ? MaybeText(s) : std::nullopt; };
  return {kNode, "/dev/ttyDEVNAME", text(m.iface), "tty", {}, text(action),
          {{"DEVNAME", "/dev/ttyDEVNAME"}, {"SUBSYSTEM", "tty"}},
          UsbParent{"/dev/bus/usb/001/004", "/devices/pci0000:00/usb1/1-1", text(m.vendor),
                    m.product, "Maker", "Modem", "0123"}};
}
std::string Block(const Modem& m) {
  return std::string("Device Node Path: /dev/bus/usb/001/004\n") +
         "Device Dev Path: /devices/pci0000:00/usb1/1-1\n  VID/PID: " + m.vendor + " " +
         m.product + "\n  Maker\n  Modem\n  serial: 0123\n";
}
const char kDump[] = "DEVNAME: /dev/ttyDEVNAME\nSUBSYSTEM: tty\n";
std::string Event(const char* node, const char* action) {
  return std::string("Got Device\n   Node: ") + node +
         "\n   Subsystem: tty\n   Devtype: (null)\n   Action: " + action + "\n";
}

class uDevTest : public ::testing::Test {
 protected:
  uDevTest() : testbed_(umockdev_testbed_new()), capture_(&logger), udev_(clock_.clock) {}
  ~uDevTest() override { g_object_unref(testbed_); }
  void SetUp() override { ASSERT_TRUE(umockdev_in_mock_environment()); }

  // A USB modem "1-<n>" with a tty "ttyUSB<iface>" per interface; returns their syspaths.
  std::vector<std::string> AddModem(const Modem& m, const std::vector<std::string>& ifaces) {
    std::string n = std::to_string(++usbCount_), usbName = "1-" + n, serial = "SN" + n;
    std::string usb = Owned(umockdev_testbed_add_device(
        testbed_, "usb", usbName.c_str(), nullptr, "idVendor", m.vendor, "idProduct", m.product,
        "manufacturer", "Maker", "product", "Modem", "serial", serial.c_str(), nullptr,
        "DEVTYPE", "usb_device", "DEVNAME", ("/dev/bus/usb/001/00" + n).c_str(), nullptr));
    std::vector<std::string> ttys;
    for (const std::string& iface : ifaces) {
      std::string tty = "ttyUSB" + std::to_string(std::stoi(iface));
      ttys.push_back(Owned(umockdev_testbed_add_device(
          testbed_, "tty", tty.c_str(), usb.c_str(), nullptr, "DEVNAME", ("/dev/" + tty).c_str(),
          "ID_USB_INTERFACE_NUM", iface.c_str(), nullptr)));
    }
    return ttys;
  }
  static std::string Owned(gchar* text) { std::string copy = text; g_free(text); return copy; }

  UMockdevTestbed* testbed_;  // empty unless a test adds devices: scans find nothing
  int usbCount_ = 0;
  LogCapture capture_;
  FakeClock clock_;
  CellularModem modem_;
  uDev udev_;
};

TEST_F(uDevTest, AnnouncesEachRowWithItsOwnLines) {
  const std::string dev = "Target Dev: /dev/ttyDEVNAME\n", name = "/dev/ttyDEVNAME";
  const Modem euv2On05 = {"1bc7", "0036", "05", 0}, euv2NoIface = {"1bc7", "0036", nullptr, 0};
  // event: HandleEvent of an "add", else ScanDevice; lines: after the event's own; port "": none.
  const struct { bool event; Modem modem; uint8_t debug; std::string lines, port; } cases[] = {
      // The scan: its own lines at verbosity 1, then the USB parent; the dump at 4, once.
      {false, kGemalto, 0, kDump, name}, {false, kEUV2, 1, "", ""},
      {false, kSierra, 1, Block(kSierra), kNode},
      {false, kSierra, 4, Block(kSierra) + kDump, kNode},
      {false, kGemalto, 1, dev + Block(kGemalto) + kDump, name},
      {false, kLE910, 1, dev + "Target Iface: 05\n" + Block(kLE910), name},
      {false, kHE910, 1, "Target Iface: 06\n" + Block(kHE910), kNode},
      // Events: the node as port; the LE910-EU V2 logs its interface before testing it.
      {true, kLE910, 1, "Target Iface: 05\n" + Block(kLE910), kNode},
      {true, kEUV2, 1, "usb iface 06\r\nTarget Iface: 06\n" + Block(kEUV2), kNode},
      {true, kEUV2, 4, "product 0036\r\nvendor 1bc7\r\nusb iface 06\r\nTarget Iface: 06\n" +
       Block(kEUV2) + kDump, kNode},
      {true, euv2On05, 1, "usb iface 05\r\n", ""},
      {true, euv2NoIface, 1, "usb iface (null)\r\n", ""},
      {true, {nullptr, "9091", "03", 0}, 4, "product 9091\r\nvendor (null)\r\n", ""},
      // Sierra and Gemalto take any tty, the Telit rows one interface; ids are exact text.
      {false, {"1199", "9091", nullptr, SierraEM7565}, 0, "", kNode},
      {true, {"1e2d", "00a0", nullptr, NimbelinkGemalto}, 0, "", kNode},
      {true, {"1bc7", "1201", "04", 0}, 1, "", ""},
      {false, {"1bc7", "1201", nullptr, 0}, 1, "", ""},
      {false, {"1bc7", "0021", "6", 0}, 1, "", ""}, {true, {"1BC7", "1201", "05", 0}, 1, "", ""},
      {false, {"1199", "9090", "03", 0}, 1, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    CellularModem modem;
    LogCapture capture(&logger);
    bool scanned = !c.event && udev_.ScanDevice(c.debug, Port(c.modem, nullptr), &modem);
    if (c.event) udev_.HandleEvent(c.debug, Port(c.modem, "add"), &modem);
    EXPECT_EQ(!c.event && c.port != "", scanned);
    EXPECT_EQ((c.event ? Event(kNode, "add") : "") + c.lines, capture.Text());
    EXPECT_EQ(c.port, modem.m_sDevPath);
    EXPECT_EQ(c.port != "" ? c.modem.type : 0, modem.m_ModemType.load());
    EXPECT_EQ(c.port != "" ? Attached : NoModem, modem.m_State.load());
  }
}

TEST_F(uDevTest, RemoveTakesOnlyTheModemsPortOffline) {
  ASSERT_TRUE(udev_.ScanDevice(0, Port(kSierra, nullptr), &modem_));
  TtyDevice other = Port(kSierra, "remove"), noNode = other, gone = other;
  other.node = "/dev/ttyS0";
  noNode.node.reset();
  for (TtyDevice* t : {&other, &noNode, &gone}) t->usb.reset();
  udev_.HandleEvent(0, other, &modem_);
  udev_.HandleEvent(0, noNode, &modem_);
  EXPECT_EQ(Attached, modem_.m_State.load());
  LogCapture modemLog(&lgr);
  // While the USB parent can still be read the port is announced again.
  udev_.HandleEvent(1, Port(kSierra, "remove"), &modem_);
  EXPECT_EQ("State: Modem Offline\r\n", modemLog.Text());
  EXPECT_EQ(Attached, modem_.m_State.load());
  udev_.HandleEvent(4, gone, &modem_);
  EXPECT_EQ(Offline, modem_.m_State.load());
  EXPECT_EQ("State: Modem Offline\r\nState: Modem Offline\r\n", modemLog.Text());
  EXPECT_EQ(Event("/dev/ttyS0", "remove") + Event("(null)", "remove") + Event(kNode, "remove") +
            Block(kSierra) + Event(kNode, "remove"), capture_.Text());
}

// Monitor from uptime 100 with the modem Offline: the manual scans come at the readings that
// one-second passes gave. Online, its wait has no deadline at all.
TEST_F(uDevTest, ManualScansEvery15SecondsWhileOffline) {
  uDev online(clock_.clock);
  modem_.m_State = Running;
  clock_.onWait = [&](const Clock::Until& until) {
    EXPECT_EQ(Clock::kNoDeadline, until.deadline);
    online.finish();
  };
  EXPECT_EQ(0, online.Monitor(0, &modem_));

  clock_.AdvanceSeconds(100);
  modem_.m_State = Offline;
  std::vector<int32_t> scans;
  clock_.onWait = [&](const Clock::Until& until) {
    if (capture_.Count("udev : initiating manual scan\n") > static_cast<int>(scans.size())) {
      scans.push_back(clock_.Seconds());
    }
    if (clock_.End(until) > 160 * int64_t{1000000}) udev_.finish();
  };
  EXPECT_EQ(0, udev_.Monitor(0, &modem_));
  EXPECT_EQ((std::vector<int32_t>{116, 132, 148}), scans);
  EXPECT_EQ(0, clock_.behind);
}

// Scan and Monitor through libudev, the gap after an event costing 2 ms: the scan takes the
// LE910's interface 05, the monitor one event a gap; finish() ends the gap and the loop.
TEST_F(uDevTest, LibudevScanAndHotPlug) {
  std::vector<std::string> euv2 = AddModem(kEUV2, {"00", "06"});
  AddModem(kLE910, {"04", "05"});
  EXPECT_EQ(1, udev_.Scan(1, &modem_));
  EXPECT_EQ("/dev/ttyUSB5", modem_.m_sDevPath);
  EXPECT_EQ("Target Dev: /dev/ttyUSB5\nTarget Iface: 05\nDevice Node Path: /dev/bus/usb/001/002\n"
            "Device Dev Path: /devices/1-2\n  VID/PID: 1bc7 1201\n  Maker\n  Modem\n"
            "  serial: SN2\n", capture_.Text());

  std::vector<int> events;  // "Got Device" lines at each gap after an event
  size_t finishedAt = 0;
  clock_.onWait = [&](const Clock::Until& until) {
    if (until.pause == 0) return;  // the wait for a uevent
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    events.push_back(capture_.Count("Got Device\n"));
    if (finishedAt == 0 && events.back() == 4) {
      finishedAt = events.size();
      udev_.finish();
    }
  };
  int result = -1;
  std::thread monitor([&] { result = udev_.Monitor(1, &modem_); });
  std::string listening = Owned(umockdev_testbed_get_root_dir(testbed_)) + "/event[0-9]*";
  glob_t found;
  for (int i = 0; i < 500 && glob(listening.c_str(), 0, nullptr, &found) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  globfree(&found);
  for (const char* action : {"add", "change"})
    for (const std::string& tty : euv2) umockdev_testbed_uevent(testbed_, tty.c_str(), action);
  monitor.join();
  EXPECT_EQ(0, result);
  EXPECT_EQ(finishedAt, events.size());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), events);
  EXPECT_EQ(2, capture_.Count("usb iface 00\r\n"));
  EXPECT_EQ(2, capture_.Count("usb iface 06\r\nTarget Iface: 06\n"));
  EXPECT_EQ(NimbelinkTelitLE910EUV2, modem_.m_ModemType.load());
  EXPECT_EQ("/dev/ttyUSB6", modem_.m_sDevPath);
}

}  // namespace
