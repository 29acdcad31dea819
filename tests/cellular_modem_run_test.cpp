// The run-state machine of CellularModem, driven by a fake clock and
// scripted probes in place of ModemManager. The Attached pass writes
// /etc/ostrel/cell, so these tests run only inside tests/sandboxed.
#include "modem/CellularModem.h"

#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/Globals.h"
#include "routers/BEPMessage.h"
#include "tests/FakeClock.h"
#include "tests/log_capture.h"

namespace {

const unsigned int kSecond = 1000000;
const char kImei[] = "359225050123456";
const uint64_t kImeiNumber = 359225050123456ULL;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ModemRunTest : public ::testing::Test {
 protected:
  ModemRunTest()
      : clock([this](int32_t* now) { return fake.clock.Uptime(now); },
              [this](unsigned int us) { Slept(us); }),
        modem(clock) {
    fake.AdvanceSeconds(1000);
    modem.m_Probes.identity = [this] { return Identity(); };
    modem.m_Probes.radio = [this] {
      radioTimes.push_back(fake.Seconds());
      return 0;
    };
    modem.m_Probes.addresses = [this] { return Addresses(); };
  }

  void SetUp() override {
    const char* sandboxed = getenv("WANVOX_SANDBOXED");
    if (sandboxed == nullptr || std::string(sandboxed) != "1") {
      GTEST_SKIP() << "writes /etc/ostrel/cell: run through tests/sandboxed";
    }
    ASSERT_EQ(0, system("rm -rf /etc/ostrel/cell"));
  }

  void Slept(unsigned int us) {
    sleeps.push_back(us);
    fake.micros += us;
    if (onSleep) onSleep(us);
  }

  // The identity probe: pops the next scripted result (success once the
  // script is used up) and, on success, publishes a Sierra modem.
  int Identity() {
    identityTimes.push_back(fake.Seconds());
    bool ok = true;
    if (!identityResults.empty()) {
      ok = identityResults.front();
      identityResults.pop_front();
    }
    if (ok) {
      std::lock_guard<std::mutex> hold(modem.m_InfoLock);
      modem.m_sModel = "EM7565";
      modem.m_sRevision = "SWI9X50C_01.08.04.00";
      modem.m_sIMEI = imei;
      modem.m_sSimId = "89148000004412345678";
      modem.m_sPhoneNumber = phone;
      modem.m_sRSSI = rssi;
    }
    if (onIdentity) onIdentity();
    return ok ? 0 : -1;
  }

  int Addresses() {
    if (address.empty()) return -1;
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    modem.m_sIPAddress = address;
    modem.m_IPAddress = 0x0302010a;
    return 0;
  }

  // Requests a stop at the |count|-th sleep of |us| microseconds.
  void StopAtSleep(int count, unsigned int us) {
    onSleep = [this, count, us](unsigned int slept) {
      if (slept == us && --stopCountdown == 0) modem.m_bStopRequest = true;
    };
    stopCountdown = count;
  }

  void Attach(int type = SierraEM7565) {
    modem.m_ModemType = type;
    modem.SetPath("/dev/ttyUSB2");
  }

  int Count(unsigned int us) const {
    int count = 0;
    for (unsigned int slept : sleeps) count += slept == us;
    return count;
  }

  // Fails unless |lines| occur in the log in this order.
  void ExpectInOrder(const std::vector<std::string>& lines) {
    const std::string text = log.Text();
    size_t at = 0;
    for (const std::string& line : lines) {
      const size_t found = text.find(line, at);
      ASSERT_NE(std::string::npos, found) << "missing in order: '" << line << "' in\n" << text;
      at = found + line.size();
    }
  }

  FakeClock fake;
  Clock clock;
  CellularModem modem;
  LogCapture log{&lgr};

  std::deque<bool> identityResults;
  std::string imei = kImei;
  std::string phone = "15551234567";
  std::string rssi = "-71.000000";
  std::string address;
  std::function<void()> onIdentity;
  std::function<void(unsigned int)> onSleep;
  int stopCountdown = 0;
  std::vector<unsigned int> sleeps;
  std::vector<int32_t> identityTimes;
  std::vector<int32_t> radioTimes;
};

TEST_F(ModemRunTest, StopWithoutModemEndsQuietly) {
  modem.m_bStopRequest = true;
  EXPECT_EQ(0, modem.run());
  EXPECT_TRUE(modem.m_bStopped);
  EXPECT_EQ(std::vector<unsigned int>{250000}, sleeps);
  EXPECT_EQ("", log.Text());
  EXPECT_FALSE(modem.m_bModemFound);
}

TEST_F(ModemRunTest, StopInOfflineEndsQuietly) {
  Attach();
  ASSERT_EQ(0, modem.RemovePath("/dev/ttyUSB2"));
  StopAtSleep(3, 250000);
  EXPECT_EQ(0, modem.run());
  EXPECT_EQ(3, Count(250000));
  EXPECT_EQ("State: Modem Offline\r\n", log.Text());
}

TEST_F(ModemRunTest, AttachQueryRunStopAndMirror) {
  Attach();
  StopAtSleep(1, kSecond);
  EXPECT_EQ(0, modem.run());
  ExpectInOrder({"State: Modem Attached\r\n",
                 "Loading Config from file /etc/ostrel/cell/cellular.conf\n",
                 "Saving Config to file /etc/ostrel/cell/cellular.conf\n",
                 "Loading Config from file /etc/ostrel/cell/cellular.conf\n",
                 "Using Cellular Slot A\n", "Detected Modem: Sierra EM7565\r\n",
                 "State: Modem Running\r\n", "State: Modem Shutdown\r\n"});
  EXPECT_TRUE(modem.m_bModemFound);
  EXPECT_TRUE(modem.m_bStopped);
  EXPECT_EQ(NoModem, modem.m_State);
  EXPECT_EQ(DefaultCellularConfig(), ReadFile("/etc/ostrel/cell/cellular.conf"));
  EXPECT_EQ(kImei, ReadFile("/etc/ostrel/cell/IMEI"));
  EXPECT_EQ("89148000004412345678", ReadFile("/etc/ostrel/cell/SIMID"));
  {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    EXPECT_EQ(kDefaultAPN, modem.m_Config.apn);
    EXPECT_EQ("A", modem.m_Config.slot);
  }
  BEPMessage* bep = modem.m_pBEPMessage;
  std::lock_guard<std::mutex> hold(bep->mutex);
  EXPECT_EQ("SWI9X50C_01.08.04.00", bep->firmwareVersion);
  EXPECT_EQ(static_cast<uint32_t>(kImeiNumber >> 32), bep->qidHigh);
  EXPECT_EQ(static_cast<uint32_t>(kImeiNumber), bep->qidLow);
  EXPECT_EQ("15551234567", bep->Phone);
  EXPECT_EQ(1, bep->app);
  EXPECT_EQ(1, bep->ver);
  EXPECT_EQ("EM7565", bep->Model);
}

TEST_F(ModemRunTest, UnknownImeiAndPhoneLeaveTheMirrorAlone) {
  imei.clear();
  phone.clear();
  {
    std::lock_guard<std::mutex> hold(modem.m_pBEPMessage->mutex);
    modem.m_pBEPMessage->qidLow = 7;
    modem.m_pBEPMessage->qidHigh = 9;
    modem.m_pBEPMessage->Phone = "old";
  }
  Attach();
  StopAtSleep(1, kSecond);
  modem.run();
  std::ifstream imeiFile("/etc/ostrel/cell/IMEI");
  EXPECT_FALSE(imeiFile.good());
  std::lock_guard<std::mutex> hold(modem.m_pBEPMessage->mutex);
  EXPECT_EQ(7u, modem.m_pBEPMessage->qidLow);
  EXPECT_EQ(9u, modem.m_pBEPMessage->qidHigh);
  EXPECT_EQ("old", modem.m_pBEPMessage->Phone);
}

TEST_F(ModemRunTest, RunningRefreshCadence) {
  Attach();
  StopAtSleep(14, kSecond);
  modem.run();
  // Entered Running at uptime 1000 with one radio refresh in that pass;
  // each deadline is now + 5 and must be strictly exceeded.
  EXPECT_EQ((std::vector<int32_t>{1000, 1001, 1007, 1013}), radioTimes);
  EXPECT_EQ((std::vector<int32_t>{1000, 1006, 1012}), identityTimes);
}

// The address goes into the mirror only when one was found; roaming always.
TEST_F(ModemRunTest, RadioRefreshMirrorsAddressAndRoaming) {
  const struct {
    const char* found;
    bool roaming;
    const char* text;
    uint32_t number;
  } kRows[] = {{"10.1.2.3", true, "10.1.2.3", 0x0302010a}, {"", false, "10.9.9.9", 99}};
  for (const auto& row : kRows) {
    address = row.found;
    {
      std::lock_guard<std::mutex> hold(modem.m_pBEPMessage->mutex);
      modem.m_pBEPMessage->ipAddressText = "10.9.9.9";
      modem.m_pBEPMessage->ipAddress = 99;
      modem.m_pBEPMessage->roaming = row.roaming ? 0 : 1;
    }
    {
      std::lock_guard<std::mutex> hold(modem.m_InfoLock);
      modem.m_bRoaming = row.roaming;
    }
    modem.m_bStopped = false;
    modem.m_bStopRequest = false;
    Attach();
    StopAtSleep(2, kSecond);
    modem.run();
    std::lock_guard<std::mutex> hold(modem.m_pBEPMessage->mutex);
    EXPECT_EQ(row.text, modem.m_pBEPMessage->ipAddressText) << "found '" << row.found << "'";
    EXPECT_EQ(row.number, modem.m_pBEPMessage->ipAddress) << "found '" << row.found << "'";
    EXPECT_EQ(row.roaming ? 1 : 0, modem.m_pBEPMessage->roaming);
  }
}

TEST_F(ModemRunTest, RssiMirrorIsTheMagnitude) {
  const struct {
    const char* text;
    int8_t mirrored;
  } kRows[] = {{"-71.000000", 71}, {"-85", 85}, {"0", 0}, {"", 0}};
  for (const auto& row : kRows) {
    rssi = row.text;
    modem.m_bStopped = false;
    modem.m_bStopRequest = false;
    Attach();
    StopAtSleep(7, kSecond);  // past the first periodic identity refresh
    modem.run();
    std::lock_guard<std::mutex> hold(modem.m_pBEPMessage->mutex);
    EXPECT_EQ(row.mirrored, modem.m_pBEPMessage->rssi) << "rssi text '" << row.text << "'";
  }
}

TEST_F(ModemRunTest, QueryingRetriesEveryTenSeconds) {
  identityResults = {false, false, true};
  Attach();
  StopAtSleep(1, kSecond);
  modem.run();
  EXPECT_EQ(2, Count(10 * kSecond));
  EXPECT_EQ((std::vector<int32_t>{1000, 1010, 1020}), identityTimes);
  EXPECT_EQ(1, log.Count("State: Modem Running\r\n"));
  EXPECT_EQ(1, log.Count("State: Modem Attached\r\n"));
}

TEST_F(ModemRunTest, StopWhileQueryingFailsEndsAfterTheRetrySleep) {
  identityResults = {false, false, false};
  Attach();
  onIdentity = [this] {
    if (identityTimes.size() == 2) modem.m_bStopRequest = true;
  };
  EXPECT_EQ(0, modem.run());
  EXPECT_EQ(2u, identityTimes.size());
  EXPECT_EQ(2, Count(10 * kSecond));
  EXPECT_EQ(0, log.Count("State: Modem Running\r\n"));
  EXPECT_EQ(1, log.Count("State: Modem Shutdown\r\n"));
  EXPECT_TRUE(modem.m_bModemFound);
}

TEST_F(ModemRunTest, LostModemWaitsTwentySecondsAndAttachesAgain) {
  identityResults = {true, false, true};  // query, first periodic check, re-query
  Attach();
  onIdentity = [this] {
    if (identityTimes.size() == 2) {
      // The reset must not wait for the Error pass to clear these.
      std::lock_guard<std::mutex> hold(modem.m_InfoLock);
      modem.m_sModemError = "None";
      modem.m_sNetworkType = "4G LTE";
      modem.m_bRegistered = true;
      modem.m_sIPv6Address = "fe80::1";
      modem.m_CurrentBands = {43};
    }
    if (identityTimes.size() == 3) modem.m_bStopRequest = true;
  };
  modem.run();
  ExpectInOrder({"State: Modem Running\r\n", "Error: Modem Lost\r\n",
                 "State: Modem Error \r\n", "State: Modem Attached\r\n",
                 "Detected Modem: Sierra EM7565\r\n", "State: Modem Running\r\n",
                 "State: Modem Shutdown\r\n"});
  EXPECT_EQ(2, log.Count("State: Modem Attached\r\n"));
  // The Error pass slept 20 s; the second attach queried at once.
  EXPECT_EQ(identityTimes[1] + 21, identityTimes[2]);
  std::lock_guard<std::mutex> hold(modem.m_InfoLock);
  EXPECT_EQ("None", modem.m_sModemError);
  EXPECT_EQ("4G LTE", modem.m_sNetworkType);
  EXPECT_TRUE(modem.m_bRegistered);
  EXPECT_EQ("fe80::1", modem.m_sIPv6Address);
}

TEST_F(ModemRunTest, StopDuringErrorWaitStillAttachesOnce) {
  identityResults = {true, false, false};
  Attach();
  int errorSleeps = 0;
  onSleep = [&](unsigned int us) {
    if (us == kSecond && modem.m_State == Error && ++errorSleeps == 3) {
      modem.m_bStopRequest = true;
    }
  };
  EXPECT_EQ(0, modem.run());
  EXPECT_EQ(3, errorSleeps);
  EXPECT_EQ(3u, identityTimes.size());  // queried once more after the wait
  ExpectInOrder({"Error: Modem Lost\r\n", "State: Modem Error \r\n",
                 "State: Modem Attached\r\n", "Detected Modem: Sierra EM7565\r\n",
                 "State: Modem Shutdown\r\n"});
}

TEST_F(ModemRunTest, LossAndStopInOnePassEndInShutdown) {
  identityResults = {true, false};
  Attach();
  onIdentity = [this] {
    if (identityTimes.size() == 2) modem.m_bStopRequest = true;
  };
  EXPECT_EQ(0, modem.run());
  EXPECT_EQ(1, log.Count("Error: Modem Lost\r\n"));
  EXPECT_EQ(0, log.Count("State: Modem Error"));
  EXPECT_EQ(1, log.Count("State: Modem Shutdown\r\n"));
}

TEST_F(ModemRunTest, ErrorStateResetsStatusAndMirror) {
  identityResults = {true, false, false};  // the re-query after the wait fails
  Attach();
  address = "10.1.2.3";
  {
    std::lock_guard<std::mutex> hold(modem.m_pBEPMessage->mutex);
    modem.m_pBEPMessage->rssi = 55;
  }
  onIdentity = [this] {
    if (identityTimes.size() == 3) modem.m_bStopRequest = true;
  };
  modem.run();
  {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    EXPECT_EQ("", modem.m_sModel);
    EXPECT_EQ("", modem.m_sIMEI);
    EXPECT_EQ("", modem.m_sSimId);
    EXPECT_EQ("", modem.m_sRSSI);
    EXPECT_EQ("", modem.m_sIPAddress);
    EXPECT_EQ("Unknown", modem.m_sRegState);
    EXPECT_EQ(0u, modem.m_IPAddress);
  }
  std::lock_guard<std::mutex> hold(modem.m_pBEPMessage->mutex);
  EXPECT_EQ("", modem.m_pBEPMessage->ipAddressText);
  EXPECT_EQ(0u, modem.m_pBEPMessage->ipAddress);
  EXPECT_EQ("", modem.m_pBEPMessage->firmwareVersion);
  EXPECT_EQ(0u, modem.m_pBEPMessage->qidLow);
  EXPECT_EQ(0u, modem.m_pBEPMessage->qidHigh);
  EXPECT_EQ("", modem.m_pBEPMessage->Phone);
  EXPECT_EQ("EM7565", modem.m_pBEPMessage->Model);  // kept
  EXPECT_EQ(55, modem.m_pBEPMessage->rssi);          // kept
}

TEST_F(ModemRunTest, SetPathWhileRunningAttachesAgain) {
  Attach();
  int runningSleeps = 0;
  onSleep = [&](unsigned int us) {
    if (us != kSecond) return;
    ++runningSleeps;
    if (runningSleeps == 2) Attach();
    if (runningSleeps == 4) modem.m_bStopRequest = true;
  };
  modem.run();
  EXPECT_EQ(2, log.Count("State: Modem Attached\r\n"));
  EXPECT_EQ(2, log.Count("Detected Modem: Sierra EM7565\r\n"));
  EXPECT_EQ(2, log.Count("State: Modem Running\r\n"));
  // The first attach creates the settings file; the second only reads it.
  EXPECT_EQ(3, log.Count("Loading Config from file /etc/ostrel/cell/cellular.conf\n"));
  EXPECT_EQ(1, log.Count("Saving Config to file /etc/ostrel/cell/cellular.conf\n"));
}

TEST_F(ModemRunTest, RemovePathComparesThePath) {
  Attach();
  modem.m_State = Running;
  {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    modem.m_sModel = "EM7565";
    modem.m_sModemError = "None";
  }
  EXPECT_NE(0, modem.RemovePath("/dev/ttyUSB0"));
  EXPECT_EQ(Running, modem.m_State);
  EXPECT_EQ("", log.Text());
  EXPECT_EQ(0, modem.RemovePath("/dev/ttyUSB2"));
  EXPECT_EQ(Offline, modem.m_State);
  EXPECT_EQ("State: Modem Offline\r\n", log.Text());
  std::lock_guard<std::mutex> hold(modem.m_InfoLock);
  EXPECT_EQ("", modem.m_sModel);
  EXPECT_EQ("None", modem.m_sModemError);
}

TEST_F(ModemRunTest, ModemTypeLines) {
  const struct {
    int type;
    const char* line;
  } kRows[] = {
      {0, "Detected Modem: Unknown\r\n"},
      {1, "Detected Modem: Nimbelink Gemalto\r\n"},
      {2, "Detected Modem: Nimbelink Telit LE910\r\n"},
      {3, "Detected Modem: Nimbelink Telit HE910\r\n"},
      {4, "Detected Modem: Sierra EM7565\r\n"},
      {5, "Detected Modem: Sierra EM7565\r\n"},
      {6, "Detected Modem: Nimbelink Telit LE910-EU V2\r\n"},
      {7, "Detected Modem: Unknown\r\n"},
  };
  for (const auto& row : kRows) {
    LogCapture rowLog(&lgr);
    identityResults = {false};
    modem.m_bStopped = false;
    modem.m_bStopRequest = true;  // the failed query then ends the run
    Attach(row.type);
    modem.run();
    EXPECT_EQ(1, rowLog.Count(row.line)) << "type " << row.type;
    EXPECT_EQ(1, rowLog.Count("Detected Modem: ")) << "type " << row.type;
  }
}

TEST_F(ModemRunTest, CorruptSettingsAreReplacedOnAttach) {
  ASSERT_EQ(0, system("mkdir -p /etc/ostrel/cell"));
  std::ofstream("/etc/ostrel/cell/cellular.conf") << "{\"version\": \"1\", \"slot\": \"B\"}";
  identityResults = {false};
  modem.m_bStopRequest = true;
  Attach();
  modem.run();
  EXPECT_EQ(DefaultCellularConfig(), ReadFile("/etc/ostrel/cell/cellular.conf"));
}

// The udev thread's calls race the modem thread for real here; run under
// ThreadSanitizer to check the lock rule.
TEST_F(ModemRunTest, UdevThreadHandOff) {
  Clock realish([this](int32_t* now) { return fake.clock.Uptime(now); },
                [this](unsigned int us) {
                  fake.micros += us;
                  std::this_thread::sleep_for(std::chrono::microseconds(200));
                });
  CellularModem threaded(realish);
  std::promise<void> running;
  bool signalled = false;
  threaded.m_Probes.identity = [&] {
    std::lock_guard<std::mutex> hold(threaded.m_InfoLock);
    threaded.m_sModel = "EM7565";
    threaded.m_sIMEI = kImei;
    threaded.m_sRSSI = "-71";
    return 0;
  };
  threaded.m_Probes.radio = [&] {
    if (!signalled) running.set_value();
    signalled = true;
    return 0;
  };
  threaded.m_Probes.addresses = [] { return -1; };
  std::thread worker([&] { threaded.run(); });
  threaded.m_ModemType = SierraEM7565;
  threaded.SetPath("/dev/ttyUSB2");
  running.get_future().wait();
  EXPECT_EQ(0, threaded.RemovePath("/dev/ttyUSB2"));
  threaded.m_bStopRequest = true;
  worker.join();
  EXPECT_TRUE(threaded.m_bStopped);
  EXPECT_EQ(1, log.Count("State: Modem Offline\r\n"));
  std::lock_guard<std::mutex> hold(threaded.m_InfoLock);
  EXPECT_EQ("", threaded.m_sIMEI);
}

}  // namespace
