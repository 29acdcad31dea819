// Scan and Monitor through the real libudev against a umockdev testbed.
#include "hotplug/uDev.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/Globals.h"
#include "modem/CellularModem.h"
#include "tests/log_capture.h"
#include "tests/udev_testbed.h"

namespace {

// Waits up to |seconds| of real time for |done|.
bool WaitFor(const std::function<bool()>& done, double seconds = 5) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class UdevTestbedTest : public ::testing::Test {
 protected:
  UdevTestbedTest()
      : capture_(&logger),
        // Each monitor pass costs 2 ms of real time and one fake second.
        fastClock_(
            [this](int32_t* now) {
              *now = uptime_;
              return true;
            },
            [this](unsigned int) {
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
              ++uptime_;
              std::lock_guard<std::mutex> hold(passesLock_);
              passes_.push_back({uptime_, capture_.Count("Got Device\n"),
                                 capture_.Count("udev : initiating manual scan\n")});
            }),
        udev_(fastClock_) {}

  void SetUp() override { ASSERT_TRUE(Testbed::Active()) << "not under the umockdev preload"; }

  void TearDown() override { StopMonitor(); }

  void StartMonitor(uint8_t debug) {
    monitor_ = std::thread([this, debug] { result_ = udev_.Monitor(debug, &modem_); });
    ASSERT_TRUE(testbed_.WaitForMonitor(5));
  }

  void StopMonitor() {
    if (!monitor_.joinable()) return;
    udev_.finish();
    monitor_.join();
    EXPECT_EQ(0, result_);
  }

  Testbed testbed_;
  LogCapture capture_;
  std::atomic<int32_t> uptime_{100};
  // What the log holds at each pass's sleep, written by the monitor thread.
  struct Pass {
    int32_t uptime;  // after the sleep
    int events;      // "Got Device" lines so far
    int scans;       // manual scans so far
  };
  std::mutex passesLock_;
  std::vector<Pass> passes_;
  Clock fastClock_;
  CellularModem modem_;
  uDev udev_;
  std::thread monitor_;
  int result_ = -1;
};

TEST_F(UdevTestbedTest, ScanFindsEachModemTheScanKnows) {
  struct Case {
    const char* vendor;
    const char* product;
    const char* iface;
    int type;  // 0: not found by the scan
  } cases[] = {
      {"1199", "9091", "00", SierraEM7565},
      {"1e2d", "00a0", "", NimbelinkGemalto},
      {"1bc7", "1201", "05", NimbelinkTelitLE910},
      {"1bc7", "0021", "06", NimbelinkTelitHE910},
      {"1bc7", "0036", "06", 0},
  };
  for (const Case& c : cases) {
    Testbed testbed;
    CellularModem modem;
    std::string usb = testbed.AddUsbDevice(c.vendor, c.product);
    testbed.AddTty(usb, "ttyUSB7", c.iface);
    EXPECT_EQ(c.type != 0 ? 1 : 0, udev_.Scan(0, &modem)) << c.vendor << "/" << c.product;
    EXPECT_EQ(c.type, modem.m_ModemType.load()) << c.vendor << "/" << c.product;
    EXPECT_EQ(c.type != 0 ? "/dev/ttyUSB7" : "", modem.m_sDevPath);
  }
}

TEST_F(UdevTestbedTest, ScanLogsTheRealUsbParent) {
  std::string usb = testbed_.AddUsbDevice("1bc7", "0021");
  testbed_.AddTty(usb, "ttyACM2", "06");
  EXPECT_EQ(1, udev_.Scan(1, &modem_));
  EXPECT_EQ(
      "Target Iface: 06\n"
      "Device Node Path: /dev/bus/usb/001/001\n"
      "Device Dev Path: /devices/1-1\n"
      "  VID/PID: 1bc7 0021\n"
      "  Maker 1bc7\n  Modem 0021\n"
      "  serial: SN1\n",
      capture_.Text());
}

TEST_F(UdevTestbedTest, SierraWithThreeTtysIsAnnouncedThreeTimesLastOneWins) {
  std::string usb = testbed_.AddUsbDevice("1199", "9091");
  testbed_.AddTty(usb, "ttyUSB0", "00");
  testbed_.AddTty(usb, "ttyUSB1", "02");
  testbed_.AddTty(usb, "ttyUSB2", "03");
  // A network interface of the same modem is not a tty.
  testbed_.AddDevice("net", "wwan0", usb, {"INTERFACE", "wwan0"});
  EXPECT_EQ(3, udev_.Scan(0, &modem_));
  EXPECT_EQ("/dev/ttyUSB2", modem_.m_sDevPath);
}

TEST_F(UdevTestbedTest, LE910IsAnnouncedOnlyOnInterface05) {
  std::string usb = testbed_.AddUsbDevice("1bc7", "1201");
  testbed_.AddTty(usb, "ttyUSB0", "03");
  testbed_.AddTty(usb, "ttyUSB1", "04");
  testbed_.AddTty(usb, "ttyUSB2", "05");
  testbed_.AddTty(usb, "ttyUSB3", "06");
  EXPECT_EQ(1, udev_.Scan(1, &modem_));
  EXPECT_EQ("/dev/ttyUSB2", modem_.m_sDevPath);
  EXPECT_EQ(1, capture_.Count("Target Iface: 05\n"));
}

TEST_F(UdevTestbedTest, EUV2PresentAtStartIsFoundOnlyOnItsHotPlugEvent) {
  std::string usb = testbed_.AddUsbDevice("1bc7", "0036");
  std::string other = testbed_.AddTty(usb, "ttyUSB0", "00");
  std::string port = testbed_.AddTty(usb, "ttyUSB1", "06");
  EXPECT_EQ(0, udev_.Scan(4, &modem_));
  EXPECT_EQ(NoModem, modem_.m_State.load());

  StartMonitor(1);
  testbed_.Uevent(other, "add");
  testbed_.Uevent(port, "add");
  ASSERT_TRUE(WaitFor([this] { return modem_.m_State == Attached; }));
  StopMonitor();
  EXPECT_EQ(NimbelinkTelitLE910EUV2, modem_.m_ModemType.load());
  EXPECT_EQ("/dev/ttyUSB1", modem_.m_sDevPath);
  EXPECT_EQ(1, capture_.Count("usb iface 00\r\n"));
  EXPECT_EQ(1, capture_.Count("usb iface 06\r\nTarget Iface: 06\n"));
}

TEST_F(UdevTestbedTest, MonitorTakesAtMostOneEventPerPass) {
  std::string usb = testbed_.AddUsbDevice("1199", "9091");
  std::string port = testbed_.AddTty(usb, "ttyUSB0", "00");
  StartMonitor(0);
  for (int i = 0; i < 4; ++i) testbed_.Uevent(port, "change");
  ASSERT_TRUE(WaitFor([this] { return capture_.Count("Got Device\n") == 4; }));
  StopMonitor();
  for (size_t i = 1; i < passes_.size(); ++i) {
    EXPECT_LE(passes_[i].events - passes_[i - 1].events, 1) << "pass " << i;
  }
  EXPECT_EQ(4, passes_.back().events);
}

TEST_F(UdevTestbedTest, UnpluggedModemIsScannedForEveryFifteenSecondsUntilItReturns) {
  std::string usb = testbed_.AddUsbDevice("1bc7", "1201");
  std::string port = testbed_.AddTty(usb, "ttyUSB2", "05");
  ASSERT_EQ(1, udev_.Scan(0, &modem_));
  StartMonitor(0);  // at uptime 100: no manual scan before 116

  // The kernel drops the sysfs entries before udev reports the removal.
  testbed_.Detach(usb);
  testbed_.Uevent(port, "remove");
  testbed_.Remove(usb);
  ASSERT_TRUE(WaitFor([this] { return capture_.Count("udev : initiating manual scan\n") >= 3; }))
      << capture_.Text();

  // Plugged back without an event: the next manual scan finds it.
  usb = testbed_.AddUsbDevice("1bc7", "1201");
  testbed_.AddTty(usb, "ttyUSB3", "05");
  ASSERT_TRUE(WaitFor([this] { return modem_.m_State == Attached; }));
  int32_t attachedAt = uptime_;
  ASSERT_TRUE(WaitFor([this, attachedAt] { return uptime_ > attachedAt + 40; }));
  StopMonitor();

  // A scan in the pass that ends at uptime t shows in the next pass's record.
  std::vector<int32_t> scanTimes;
  for (size_t i = 1; i < passes_.size(); ++i) {
    if (passes_[i].scans > passes_[i - 1].scans) scanTimes.push_back(passes_[i - 1].uptime);
  }
  ASSERT_GE(scanTimes.size(), 3u);
  EXPECT_GE(scanTimes[0], 116);
  for (size_t i = 1; i < scanTimes.size(); ++i) {
    EXPECT_EQ(16, scanTimes[i] - scanTimes[i - 1]) << "scan " << i;
  }
  EXPECT_LE(scanTimes.back(), attachedAt);  // the last one found it
  EXPECT_EQ("/dev/ttyUSB3", modem_.m_sDevPath);
  EXPECT_EQ(1, capture_.Count("Got Device\n"));  // the removal only
}

TEST(UdevMonitorTest, FinishEndsTheMonitorWithinASecond) {
  ASSERT_TRUE(Testbed::Active());
  Testbed testbed;
  LogCapture capture(&logger);
  CellularModem modem;
  uDev udev;  // the real clock
  int result = -1;
  std::thread monitor([&] { result = udev.Monitor(0, &modem); });
  ASSERT_TRUE(testbed.WaitForMonitor(5));
  auto asked = std::chrono::steady_clock::now();
  udev.finish();
  monitor.join();
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
  EXPECT_EQ(0, result);
  EXPECT_LT(waited, 1.5);
  EXPECT_EQ("", capture.Text());
}

}  // namespace
