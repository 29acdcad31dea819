// Band names, and the identity and radio refreshes against tools/mock_modemmanager.py on a
// private bus (slow: each case starts the mock), which give the radio texts.
#include "modem/CellularModem.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/base/Globals.h"
#include "modem/BandNames.h"
#include "modem/ModemSnapshot.h"
#include "tests/log_capture.h"

namespace {

// The E-UTRAN names are computed (band - 30 in Roman numerals), the others looked up.
TEST(ModemValuesTest, BandNamesAndGenerations) {
  using G = BandGeneration;
  const struct { uint32_t band; const char* name; G generation; } kRows[] = {
      {14, "", G::None}, {44, "EUTRAN_XIV", G::G4}, {45, "", G::None},
      {63, "EUTRAN_XXXIII", G::G4}, {74, "EUTRAN_XLIV", G::G4}, {133, "", G::None}};
  for (const auto& row : kRows) {
    EXPECT_EQ(row.name, BandName(row.band)) << "band " << row.band;
    EXPECT_EQ(row.generation, GenerationOfBand(row.band)) << "band " << row.band;
  }
}

// A program run through the shell (which prints its pid, then becomes it).
struct Child {
  ~Child() { Stop(); }
  // Its next line of output; "" at its end or once it is silent for 15 s.
  std::string Line() {
    pollfd readable = {fileno(out), POLLIN, 0};
    std::string line;
    for (char c; poll(&readable, 1, 15000) == 1 && read(readable.fd, &c, 1) == 1; line += c) {
      if (c == '\n') return line;
    }
    return "";
  }
  void Start(const std::string& command) {
    Stop();
    out = popen(("echo $$; exec " + command).c_str(), "re");
    pid = atoi(Line().c_str());
  }
  void Stop() {
    if (out != nullptr && pid > 0) kill(pid, SIGTERM);
    if (out != nullptr) pclose(out);
    out = nullptr;
  }
  FILE* out = nullptr;
  pid_t pid = 0;
};

Child bus;  // the private bus, for the process: GIO keeps its connection while it is open

class ModemDBusTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StartBus(); }
  static void StartBus() {
    bus.Start("/usr/bin/dbus-daemon --session --nofork --print-address "
              "--address=unix:tmpdir=/tmp");
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Line().c_str(), 1);
  }

  // Starts the mock with these modems (JSON specs without single quotes).
  void Start(const std::vector<std::string>& modems) {
    std::string command = "/usr/bin/python3 " WANVOX_SOURCE_DIR "/tools/mock_modemmanager.py";
    for (const std::string& modem : modems) command += " --modem '" + modem + "'";
    mock.Start(command);
    ASSERT_EQ("ready", mock.Line());
  }
  // "model|revision|IMEI|SIM|phone | RSSI|operator|state|reg|sim sub | error|reg text|
  // registered|roaming|network type".
  std::string Status() {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    std::ostringstream text;
    text << modem.m_sModel << "|" << modem.m_sRevision << "|" << modem.m_sIMEI << "|"
         << modem.m_sSimId << "|" << modem.m_sPhoneNumber << " | " << modem.m_sRSSI << "|"
         << modem.m_OperatorCode << "|" << modem.m_ModemState << "|" << modem.m_RegState << "|"
         << modem.m_SimSubState << " | " << modem.m_sModemError << "|" << modem.m_sRegState
         << "|" << modem.m_bRegistered << "|" << modem.m_bRoaming << "|" << modem.m_sNetworkType;
    return text.str();
  }

  Child mock;
  CellularModem modem;
  LogCapture log{&lgr};
};

// No SIM, operator, Lte or access technology (the best band decides; an unnamed one keeps
// its place). Setup(5) only while the Signal Rate is not 5.
TEST_F(ModemDBusTest, MissingPropertiesGiveTheDefaults) {
  Start({R"({"modem": {"Model": "EM7565", "SignalQuality": [31, true],
             "CurrentBands": [4, 200, 1]}, "3gpp": {"RegistrationState": 5},
             "signal": {"Rate": 2}})"});
  modem.m_sSimId = "old";
  GLOBAL_RSSI = -50.0;  // left from an earlier modem: a missing Lte resets it
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ("EM7565|||old| | -85|0|0|5|0 | None|Roaming|1|1|3G", Status());
  std::string bands;
  modem.GetCurrentBands(bands);
  EXPECT_EQ("3G:G850,,EGSM", bands);
  EXPECT_EQ(1, log.Count("Setting rate to 5\r\n"));
  EXPECT_EQ(2, log.Count("{lte : {rssi:0.000000, rsrq:0.000000, rsrp:0.000000, "
                         "snr:0.000000}}\r\n"));
  EXPECT_EQ(2, log.Count("    RegistrationState:5\r\n"));
}

TEST_F(ModemDBusTest, ValuesOfAnotherTypeAreIgnored) {
  Start({R"({"modem": {"Model": "EM7565", "AccessTechnologies": {"@type": "i", "value": 2},
             "EquipmentIdentifier": {"@type": "t", "value": 35},
             "OwnNumbers": {"@type": "s", "value": "155"}, "Sim": {"@type": "s", "value": "/s"},
             "SignalQuality": {"@type": "u", "value": 7}, "State": {"@type": "u", "value": 8},
             "CurrentBands": {"@type": "ai", "value": [43]}},
             "3gpp": {"RegistrationState": {"@type": "s", "value": "1"},
                      "OperatorCode": {"@type": "u", "value": 311480}},
             "signal": {"Rate": {"@type": "i", "value": 0}}})"});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ("EM7565|||| | 0|0|0|4|0 | None|Unknown|0|0|", Status());
  EXPECT_TRUE(modem.m_CurrentBands.empty());
  EXPECT_EQ(0, log.Count("Setting rate"));
}

TEST_F(ModemDBusTest, SimWithoutIdentifierFailsAfterStoringTheModem) {
  Start({R"({"modem": {"Model": "EM7565", "Revision": "R1", "EquipmentIdentifier": "35"},
             "sim": {}})"});
  modem.m_sSimId = "old";
  EXPECT_EQ(-1, modem.GetdBusModemInfo());
  EXPECT_EQ(1, log.Count("No SIM detected\r\n"));
  EXPECT_EQ("EM7565|R1|35|old| | |0|0|0|0 | |Unknown|0|0|", Status());
}

// A known model wins, else the last one; no modem fails. ModemManager itself gone and back:
// tests/e2e/test_real_modem.py.
TEST_F(ModemDBusTest, KnownModelWinsAndNoModemFails) {
  Start({R"({"modem": {"Model": "x"}})", R"({"modem": {"Model": "HE910"}})",
         R"({"modem": {"Model": "EM7565"}})"});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  EXPECT_EQ("/org/freedesktop/ModemManager1/Modem/1", GLOBAL_CELL_MODEMPATH);  // HE910
  Start({R"({"modem": {"Model": "x"}})", R"({"modem": {"Model": "em7565"}})"});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  EXPECT_EQ("em7565", GLOBAL_CELL_MODEL);
  Start({});
  EXPECT_EQ(-1, modem.GetdBusModemInfo());
  EXPECT_EQ("", GLOBAL_CELL_MODEMPATH);
}

// The refreshes hold on to the bus connection; once the bus restarts, a query or two fail and
// the next one reaches the new bus.
TEST_F(ModemDBusTest, RestartedBusIsReachedAgain) {
  Start({R"({"modem": {"Model": "EM7565"}})"});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  mock.Stop();
  StartBus();
  Start({R"({"modem": {"Model": "HE910"}})"});
  ::testing::internal::CaptureStderr();
  int failed = 0;
  while (modem.GetdBusModemInfo() != 0 && ++failed < 5) {
  }
  ::testing::internal::GetCapturedStderr();
  EXPECT_LT(failed, 3);
  EXPECT_EQ("HE910", GLOBAL_CELL_MODEL);
}

}  // namespace
