// Band names, radio texts, and the refreshes against tools/mock_modemmanager.py on a
// private bus (slow: each case starts the mock).
#include "modem/CellularModem.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Globals.h"
#include "modem/BandNames.h"
#include "modem/ModemSnapshot.h"
#include "modem/RadioTexts.h"
#include "tests/log_capture.h"

namespace {

TEST(ModemValuesTest, BandNamesAndGenerations) {
  using G = BandGeneration;
  const struct { uint32_t band; const char* name; G generation; } kRows[] = {
      {0, "", G::None}, {1, "EGSM", G::G2}, {2, "DCS", G::G3}, {13, "U2600", G::G3},
      {14, "", G::None}, {30, "", G::None}, {31, "EUTRAN_I", G::G4}, {44, "EUTRAN_XIV", G::G4},
      {45, "", G::None}, {47, "EUTRAN_XVII", G::G4}, {56, "EUTRAN_XXVI", G::G4}, {57, "", G::None},
      {62, "", G::None}, {63, "EUTRAN_XXXIII", G::G4}, {74, "EUTRAN_XLIV", G::G4},
      {75, "", G::None}, {127, "", G::None}, {128, "CDMA_BC0_CELLULAR_800", G::G2},
      {133, "", G::None}, {134, "CDMA_BC5_NMT450", G::G2}, {148, "CDMA_BC19_US_LOWER_700", G::G2},
      {149, "", G::None}, {0xffffffffu, "", G::None}};
  for (const auto& row : kRows) {
    EXPECT_EQ(row.name, BandName(row.band)) << "band " << row.band;
    EXPECT_EQ(row.generation, GenerationOfBand(row.band)) << "band " << row.band;
  }
}

TEST(ModemValuesTest, RadioTexts) {
  const struct { bool recent; double lte; uint32_t quality; const char* text; } kRssi[] = {
      {false, -71.0, 80, "0"}, {true, -71.5, 0, "-71.500000"}, {true, 0.0, 100, "-50"},
      {true, 0.0, 1, "-100"},  {true, 0.0, 0, "0"}};
  for (const auto& r : kRssi) EXPECT_EQ(r.text, RssiText(r.recent, r.lte, r.quality)) << r.quality;
  // By state 0 to 7: text, then R for registered and r for roaming.
  const char* kRegistration[] = {"Idle",    "Home R",        "Searching", "Denied",
                                 "Unknown", "Roaming R r", "Unknown",   "Unknown"};
  for (uint32_t state = 0; state < 8; ++state) {
    const Registration r = RegistrationFor(state);
    EXPECT_EQ(kRegistration[state], std::string(r.text) + (r.registered ? " R" : "") +
                                        (r.roaming ? " r" : "")) << state;
  }
  const struct { uint32_t bits; const char* type; } kAccess[] = {
      {0x4002, "4G LTE"}, {0x2000, "3G"}, {0x101, "3G"}, {0x10, "2G"}, {0x1, "2G"}, {0, "-"},
      {0x8000, "-"}};
  for (const auto& r : kAccess) {
    const char* type = AccessTechnologyType(r.bits);
    EXPECT_STREQ(r.type, type == nullptr ? "-" : type) << r.bits;
  }
}

// A program run through the shell (which prints its pid, then becomes it).
struct Child {
  ~Child() { Stop(); }
  std::string Line() {
    char text[512] = "";
    return fgets(text, sizeof(text), out) ? std::string(text, strcspn(text, "\n")) : "";
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

// ModemManager's modem without a SIM card: Sim is the null path, the modem has failed, and only
// the Modem interface answers.
TEST_F(ModemDBusTest, NullSimPathIsNoSim) {
  Start({R"({"modem": {"Model": "EM7565", "Sim": "/", "State": -1, "StateFailedReason": 2,
             "SignalQuality": [0, false]}})"});
  modem.m_sSimId = "old";
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ(1, log.Count("\t\tSim:/\r\n"));
  EXPECT_EQ(0, log.Count("No SIM detected"));
  EXPECT_EQ("", GLOBAL_CELL_SIMPATH);
  EXPECT_EQ("EM7565|||old| | 0|0|-1|4|0 | SIM Missing|Unknown|0|0|", Status());
}

// A known model wins, else the last one; no modem or no ModemManager fails.
TEST_F(ModemDBusTest, ModemsAndModemManagerComeAndGo) {
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
  mock.Stop();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(-1, modem.GetdBusModemInfo());
  EXPECT_EQ(0, modem.GetdBusDynamicInfo());  // the bus itself is there
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("Got an error: '"));
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
