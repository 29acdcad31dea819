// CellularModem's files (real paths, in the sandbox's scratch /etc) and its run states.
#include "modem/CellularModem.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/base/Globals.h"
#include "routers/BEPMessage.h"
#include "tests/FakeClock.h"
#include "tests/log_capture.h"

namespace {

const unsigned int kSecond = 1000000;
const char kConf[] = "/etc/ostrel/cell/cellular.conf";
const char kImeiFile[] = "/etc/ostrel/cell/IMEI", kSimFile[] = "/etc/ostrel/cell/SIMID";
const std::string kImei = "359225050123456";  // QID words 83638 and 2575420608
const char kLost[] =  // lost while running, attached again, stopped while querying
    "State: Modem Attached\r\nDetected Modem: Sierra EM7565\r\nState: Modem Running\r\n"
    "Error: Modem Lost\r\nState: Modem Error \r\nState: Modem Attached\r\n"
    "Detected Modem: Sierra EM7565\r\nState: Modem Shutdown\r\n";

std::string Read(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class CellularModemTest : public ::testing::Test {
 protected:
  CellularModemTest() : modem(fake.clock) {
    fake.AdvanceSeconds(1000);
    fake.onWait = [this](const Clock::Until& until) {
      waits.push_back(until);
      if (onWait) onWait(until);
    };
    modem.m_Probes = {[this] { return Identity(); },
                      [this] { radioTimes.push_back(fake.Seconds()); return 0; },
                      [this] { return Addresses(); }};
  }
  void SetUp() override { ASSERT_EQ(0, system("rm -rf /etc/ostrel/cell")); }

  // The next scripted result (then success); a success publishes a Sierra modem.
  int Identity() {
    identityTimes.push_back(fake.Seconds());
    const bool ok = script.empty() || script.front();
    if (!script.empty()) script.pop_front();
    if (identityTimes.size() == stopAtQuery) modem.m_bStopRequest = true;
    if (ok) SetIdentity(kImei, "89148000004412345678", "A");
    return ok ? 0 : -1;
  }
  void SetIdentity(const std::string& imei, const std::string& simId, const char* slot) {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    modem.m_sModel = "EM7565";
    modem.m_sRevision = "SWI9X50C_01.08.04.00";
    modem.m_sPhoneNumber = "15551234567";
    modem.m_sRSSI = "-71.000000";
    modem.m_sIMEI = imei;
    modem.m_sSimId = simId;
    modem.m_Config.slot = slot;
  }
  int Addresses() {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    modem.m_sIPAddress = address;
    modem.m_IPAddress = address.empty() ? 0 : 0x0302010a;
    return address.empty() ? -1 : 0;
  }

  void Attach() {
    modem.m_bStopped = false;
    modem.m_bStopRequest = false;
    modem.m_ModemType = SierraEM7565;
    modem.SetPath("/dev/ttyUSB2");
  }
  int Pauses(unsigned int us) const {
    return std::count_if(waits.begin(), waits.end(), [us](const Clock::Until& u) {
      return u.deadline == Clock::kNoDeadline && u.pause == us;
    });
  }
  std::string States() {
    std::istringstream text(log.Text());
    std::string line, states;
    while (std::getline(text, line)) states += line.find("Modem") != line.npos ? line + "\n" : "";
    return states;
  }

  std::string Bep() {  // "firmware|qidHigh|qidLow|Phone|app.ver|Model|ip text|ip|roaming|rssi"
    BEPMessage* bep = modem.m_pBEPMessage;
    std::lock_guard<std::mutex> hold(bep->mutex);
    std::ostringstream text;
    text << bep->firmwareVersion << "|" << bep->qidHigh << "|" << bep->qidLow << "|" << bep->Phone
         << "|" << +bep->app << "." << +bep->ver << "|" << bep->Model << "|" << bep->ipAddressText
         << "|" << bep->ipAddress << "|" << +bep->roaming << "|" << +bep->rssi;
    return text.str();
  }

  FakeClock fake;
  CellularModem modem;
  LogCapture log{&lgr};
  std::deque<bool> script;
  size_t stopAtQuery = 0;
  std::string address;
  std::function<void(const Clock::Until&)> onWait;
  std::vector<Clock::Until> waits;
  std::vector<int32_t> identityTimes, radioTimes;
};

// Each load starts with slot "X"; a row gives "result slot apn" ("-": the default).
TEST_F(CellularModemTest, SettingsDocuments) {
  ASSERT_EQ(0, system("mkdir -p /etc/ostrel/cell"));
  const char* kRows[][2] = {
      {nullptr, "-1 X -"},
      {R"({"version": 1, "slot": "A", "apn": "a", "apn_b": "b"})", "0 A a"},
      {R"({"version": 1, "slot": "B", "apn": "a", "apn_b": "b"})", "0 B b"},
      {R"({"version": 1, "slot": "b", "apn": "a", "apn_b": "b"})", "0 b a"},
      {R"({"version": 1, "slot": 2, "apn": "a"})", "0 A a"}, {R"({"version": 1.5})", "0 A -"},
      {R"({"version": 1, "slot": "B", "apn": "a"})", "0 B -"},
      {R"({"version": 1, "apn": 7})", "0 A -"}, {R"({"version": "1", "apn": "a"})", "-1 X -"},
      {"[1, 2]", "-1 X -"}, {"not json", "-1 X -"}};
  for (const auto& row : kRows) {
    if (row[0] != nullptr) std::ofstream(kConf) << row[0];
    __cellular_cfg cfg;
    cfg.slot = "X";
    const size_t logStart = log.Text().size();
    const int result = modem.LoadConfigFromDisk(&cfg);
    const std::string apn = cfg.apn == kDefaultAPN ? "-" : cfg.apn;
    SCOPED_TRACE(row[0] == nullptr ? "no file" : row[0]);
    EXPECT_EQ(row[1], std::to_string(result) + " " + cfg.slot + " " + apn);
    std::string lines = "Loading Config from file /etc/ostrel/cell/cellular.conf\n";
    if (result == 0) lines += "Using Cellular Slot " + cfg.slot + "\n";
    if (result == 0 && apn != "-") lines += "Setting Cellular APN to " + apn + "\n";
    EXPECT_EQ(lines, log.Text().substr(logStart));
  }
}

// Compared on 64 bytes, up to a NUL, without trailing blanks; rewritten bare if different.
TEST_F(CellularModemTest, IdentityFilesAreComparedThenRewritten) {
  const std::string nul("359225050123456\0x", 17), long64(64, '7');
  const struct { std::string value, stored, after; } kRows[] = {
      {kImei, "", kImei},  // first row: no directory yet
      {kImei, kImei + "  \t\r\n", kImei + "  \t\r\n"}, {kImei, nul, nul},
      {kImei, " " + kImei, kImei}, {kImei, "359225050123457", kImei}, {kImei, "", kImei},
      {long64 + "8", long64 + "9", long64 + "8"}, {long64, long64 + "9", long64 + "9"},
      {"", kImei, kImei}};  // cleared by the udev thread after the caller's check
  for (const auto& row : kRows) {
    if (&row != &kRows[0]) std::ofstream(kImeiFile, std::ios::binary) << row.stored;
    SetIdentity(row.value, "", "A");
    EXPECT_EQ(0, modem.WriteIMEIToDisk());
    EXPECT_EQ(row.after, Read(kImeiFile)) << "stored '" << row.stored << "'";
  }
  SetIdentity(kImei, "8914", "B");
  EXPECT_EQ(0, modem.WriteSIMIDToDisk());
  SetIdentity(kImei, "8901", "b");  // only "B" is slot B
  EXPECT_EQ(0, modem.WriteSIMIDToDisk());
  EXPECT_EQ("8914|8901", Read("/etc/ostrel/cell/SIMID_B") + "|" + Read(kSimFile));
  ASSERT_EQ(0, system("rm /etc/ostrel/cell/IMEI && mkdir /etc/ostrel/cell/IMEI"));
  EXPECT_EQ(-1, modem.WriteIMEIToDisk());  // a directory cannot be written
}

// Two failed queries 10 s apart, then Running from 1020; each deadline is now + 5, strictly:
// the readings at which the refreshes run are those of one-second passes.
TEST_F(CellularModemTest, AttachQueryRetryRunStopAndMirror) {
  script = {false, false, true};
  address = "10.1.2.3";
  modem.m_bRoaming = true;
  Attach();
  onWait = [this](const Clock::Until& until) {  // a stop as the first wait past 1034 begins
    if (fake.End(until) >= 1034 * int64_t{kSecond}) modem.RequestStop();
  };
  EXPECT_EQ(0, modem.run());
  EXPECT_EQ("State: Modem Attached\r\nDetected Modem: Sierra EM7565\r\n"
            "State: Modem Running\r\nState: Modem Shutdown\r\n", States());
  EXPECT_EQ(2, Pauses(10 * kSecond));
  EXPECT_EQ(0, fake.behind);
  EXPECT_EQ((std::vector<int32_t>{1000, 1010, 1020, 1026, 1032}), identityTimes);
  EXPECT_EQ((std::vector<int32_t>{1020, 1021, 1027, 1033}), radioTimes);
  EXPECT_TRUE(modem.m_bModemFound && modem.m_bStopped);
  EXPECT_EQ(NoModem, modem.m_State);
  EXPECT_EQ(kImei + "|89148000004412345678", Read(kImeiFile) + "|" + Read(kSimFile));
  EXPECT_EQ(
      "SWI9X50C_01.08.04.00|83638|2575420608|15551234567|1.1|EM7565|10.1.2.3|50462986|1|71", Bep());
}

// Lost at the first periodic check; after the wait a failed query ends the run, its 10 s
// retry cut short by the stop.
TEST_F(CellularModemTest, LossClearsTheStatusWaitsTwentySecondsAndAttachesAgain) {
  script = {true, false, false};
  stopAtQuery = 3;
  address = "10.1.2.3";
  modem.m_sModemError = "None";  // the reset keeps these four
  modem.m_sNetworkType = "4G LTE";
  modem.m_bRegistered = true;
  modem.m_sIPv6Address = "fe80::1";
  modem.m_CurrentBands = {43};
  Attach();
  modem.run();
  EXPECT_EQ(kLost, States());
  EXPECT_EQ(identityTimes[1] + 21, identityTimes[2]);  // 1 s pass, 20 s wait, queried at once
  EXPECT_EQ(1, Pauses(20 * kSecond));
  EXPECT_EQ(0, Pauses(10 * kSecond));
  EXPECT_EQ("|0|0||1.1|EM7565||0|0|0", Bep());  // the model kept
  std::ostringstream status;  // cleared, then kept
  status << modem.m_sModel << modem.m_sIMEI << modem.m_sSimId << modem.m_sRSSI << modem.m_sRevision
         << modem.m_sPhoneNumber << modem.m_sIPAddress << modem.m_IPAddress
         << modem.m_CurrentBands.size() << "|" << modem.m_sRegState << "|" << modem.m_sModemError
         << "|" << modem.m_sNetworkType << "|" << modem.m_bRegistered << "|"
         << modem.m_sIPv6Address;
  EXPECT_EQ("00|Unknown|None|4G LTE|1|fe80::1", status.str());
}

// The first attach replaces the corrupt settings, the second reads them; an address-less
// refresh keeps the mirrored address; roaming follows.
TEST_F(CellularModemTest, SetPathWhileRunningAttachesAgain) {
  ASSERT_EQ(0, system("mkdir -p /etc/ostrel/cell"));
  std::ofstream(kConf) << R"({"version": "1", "slot": "B"})";
  address = "10.1.2.3";
  modem.m_bRoaming = true;
  Attach();
  bool again = false;
  onWait = [&](const Clock::Until&) {
    if (fake.Seconds() == 1001 && !again) {  // after the first periodic radio refresh
      again = true;
      address.clear();
      modem.m_bRoaming = false;
      Attach();  // SetPath ends this wait at once
    }
    if (fake.Seconds() == 1002) modem.RequestStop();
  };
  modem.run();
  EXPECT_EQ("10.1.2.3|50462986|0|0", Bep().substr(Bep().find("EM7565|") + 7));
  const std::string attach = "State: Modem Attached\r\nDetected Modem: Sierra EM7565\r\n"
                             "State: Modem Running\r\n";
  EXPECT_EQ(attach + attach + "State: Modem Shutdown\r\n", States());
  EXPECT_EQ(3, log.Count("Loading Config from file /etc/ostrel/cell/cellular.conf\n"));
  EXPECT_EQ(1, log.Count("Saving Config to file /etc/ostrel/cell/cellular.conf\n"));
}

// A real race with the udev thread (a wait that a fake second ends takes 1 ms): for
// ThreadSanitizer. Offline, only SetPath or the stop's wake-up ends the wait.
TEST_F(CellularModemTest, UdevThreadHandOff) {
  fake.onWait = [](const Clock::Until&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  std::thread worker([this] { modem.run(); });
  Attach();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (modem.m_State != Running && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  EXPECT_EQ(Running, modem.m_State);  // and the stop below still ends the run
  EXPECT_EQ(0, modem.RemovePath("/dev/ttyUSB2"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // into its Offline wait
  modem.RequestStop();
  worker.join();
  EXPECT_TRUE(modem.m_bStopped);
  EXPECT_EQ(1, log.Count("State: Modem Offline\r\n"));
  EXPECT_EQ("", modem.m_sIMEI);
}

}  // namespace
