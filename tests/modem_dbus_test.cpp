// The identity and radio refreshes against the mock ModemManager on a
// private bus (slow: each case starts the mock).
#include "modem/CellularModem.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Globals.h"
#include "modem/ModemSnapshot.h"
#include "tests/log_capture.h"
#include "tests/mock_modem_manager.h"

namespace {

const char kModem0[] = "/org/freedesktop/ModemManager1/Modem/0";

const char kSierra[] =
    R"({"modem": {"Model": "EM7565", "Revision": "SWI9X50C_01.08.04.00 dbc1 2019/03/25",
        "DeviceIdentifier": "a1b2c3", "EquipmentIdentifier": "359225050123456",
        "OwnNumbers": ["15551234567"], "CurrentBands": [43, 34],
        "SignalQuality": [70, true], "AccessTechnologies": 16384, "State": 11,
        "StateFailedReason": 0},
       "sim": {"SimIdentifier": "89148000004412345678"},
       "3gpp": {"OperatorCode": "311480", "RegistrationState": 1, "SubscriptionState": 2},
       "signal": {"Rate": 0, "Lte": {"rssi": -71.0, "rsrq": -9.0, "rsrp": -101.0, "snr": 12.0}}})";

class ModemDBusTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(mock.StartBus()); }
  static void TearDownTestSuite() { mock.StopBus(); }

  void TearDown() override { mock.StopService(); }

  void Start(const std::vector<std::string>& modems) { ASSERT_TRUE(mock.StartService(modems)); }

  template <typename T>
  T Get(const T& member) {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    return member;
  }

  static MockModemManager mock;
  CellularModem modem;
  LogCapture log{&lgr};
};

MockModemManager ModemDBusTest::mock;

TEST_F(ModemDBusTest, IdentityOfASierraModem) {
  Start({kSierra});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  EXPECT_EQ("EM7565", Get(modem.m_sModel));
  EXPECT_EQ("SWI9X50C_01.08.04.00", Get(modem.m_sRevision));
  EXPECT_EQ("359225050123456", Get(modem.m_sIMEI));
  EXPECT_EQ("89148000004412345678", Get(modem.m_sSimId));
  EXPECT_EQ("15551234567", Get(modem.m_sPhoneNumber));
  EXPECT_EQ((std::vector<uint32_t>{43, 34}), Get(modem.m_CurrentBands));
  EXPECT_EQ(kModem0, GLOBAL_CELL_MODEMPATH);
  EXPECT_EQ("a1b2c3", GLOBAL_CELL_DEVICEID);
  EXPECT_EQ(1, log.Count(std::string("    Path: ") + kModem0 + "\r\n"));
  EXPECT_EQ(1, log.Count("\t\tCurrentBands:43,34\r\n"));
  EXPECT_EQ(1, log.Count("\t\tSimIdentifier:89148000004412345678\r\n"));
}

TEST_F(ModemDBusTest, RadioOfARegisteredLteModem) {
  Start({kSierra});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ("-71.000000", Get(modem.m_sRSSI));
  EXPECT_EQ(311480, Get(modem.m_OperatorCode));
  EXPECT_EQ(11, Get(modem.m_ModemState));
  EXPECT_EQ(1, Get(modem.m_RegState));
  EXPECT_EQ(2, Get(modem.m_SimSubState));
  EXPECT_EQ("None", Get(modem.m_sModemError));
  EXPECT_EQ("Home", Get(modem.m_sRegState));
  EXPECT_TRUE(Get(modem.m_bRegistered));
  EXPECT_FALSE(Get(modem.m_bRoaming));
  EXPECT_EQ("4G LTE", Get(modem.m_sNetworkType));
  std::string bands;
  modem.GetCurrentBands(bands);
  EXPECT_EQ("4G LTE:EUTRAN_XIII,EUTRAN_IV", bands);
  EXPECT_EQ(1, log.Count("Setting rate to 5\r\n"));
  EXPECT_EQ(1, log.Count("{lte : {rssi:-71.000000, rsrq:-9.000000, rsrp:-101.000000, "
                         "snr:12.000000}}\r\n"));
  EXPECT_EQ(1, log.Count("    OperatorCode:311480\r\n"));
  EXPECT_EQ(1, log.Count("    RegistrationState:1\r\n"));
  EXPECT_EQ(1, log.Count("    SubscriptionState:2\r\n"));
  EXPECT_EQ(std::vector<uint32_t>{5}, mock.SetupCalls(kModem0));

  // ModemManager now reports rate 5: no second Setup.
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ(std::vector<uint32_t>{5}, mock.SetupCalls(kModem0));
  EXPECT_EQ(1, log.Count("Setting rate to 5\r\n"));
}

TEST_F(ModemDBusTest, RejectedSetupKeepsTheLastSignalValues) {
  Start({R"({"modem": {"Model": "EM7565", "SignalQuality": [70, true]},
             "signal": {"Rate": 0, "Lte": {"rssi": -60.0}}, "setup": "fail"})"});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  GLOBAL_RSSI = -80.0;
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, errors.find("Got an error: '")) << errors;
  EXPECT_EQ(-80.0, GLOBAL_RSSI);
  EXPECT_EQ("-80.000000", Get(modem.m_sRSSI));
  EXPECT_EQ((std::vector<uint32_t>{5, 5}), mock.SetupCalls(kModem0));
}

TEST_F(ModemDBusTest, MissingInterfacesGiveTheDefaults) {
  Start({R"({"modem": {"Model": "EM7565", "SignalQuality": [31, true],
             "AccessTechnologies": 0, "CurrentBands": [4, 1]}})"});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  GLOBAL_RSSI = -50.0;  // left from an earlier modem: a missing Lte resets it
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ("-85", Get(modem.m_sRSSI));
  EXPECT_EQ(0, Get(modem.m_OperatorCode));
  EXPECT_EQ(4, Get(modem.m_RegState));
  EXPECT_EQ(0, Get(modem.m_SimSubState));
  EXPECT_EQ("Unknown", Get(modem.m_sRegState));
  EXPECT_FALSE(Get(modem.m_bRegistered));
  EXPECT_EQ("", Get(modem.m_sNetworkType));
  EXPECT_EQ(1, log.Count("{lte : {rssi:0.000000, rsrq:0.000000, rsrp:0.000000, "
                         "snr:0.000000}}\r\n"));
}

TEST_F(ModemDBusTest, ChangesAreSeenByTheNextRefresh) {
  Start({R"({"modem": {"Model": "EM7565", "SignalQuality": [31, false],
             "AccessTechnologies": 0, "CurrentBands": [4, 1], "StateFailedReason": 2},
             "3gpp": {"RegistrationState": 2},
             "signal": {"Rate": 5}})"});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ("0", Get(modem.m_sRSSI));
  EXPECT_EQ("Searching", Get(modem.m_sRegState));
  EXPECT_EQ("SIM Missing", Get(modem.m_sModemError));

  mock.SetProperties(kModem0, "3gpp", R"({"RegistrationState": 5, "OperatorCode": "26201"})");
  mock.SetProperties(kModem0, "modem", R"({"StateFailedReason": 1})");
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ("Roaming", Get(modem.m_sRegState));
  EXPECT_TRUE(Get(modem.m_bRoaming));
  EXPECT_EQ("3G", Get(modem.m_sNetworkType));  // no access technology: the bands
  EXPECT_EQ(26201, Get(modem.m_OperatorCode));
  EXPECT_EQ("Unknown", Get(modem.m_sModemError));
  EXPECT_TRUE(mock.SetupCalls(kModem0).empty());
}

TEST_F(ModemDBusTest, ValuesOfAnotherTypeAreIgnored) {
  Start({R"({"modem": {"Model": "EM7565", "AccessTechnologies": 16384},
             "3gpp": {"RegistrationState": {"@type": "s", "value": "1"},
                      "OperatorCode": {"@type": "u", "value": 311480}},
             "signal": {"Rate": {"@type": "i", "value": 0}}})"});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  ASSERT_EQ(0, modem.GetdBusDynamicInfo());
  EXPECT_EQ(4, Get(modem.m_RegState));
  EXPECT_EQ(0, Get(modem.m_OperatorCode));
  EXPECT_TRUE(mock.SetupCalls(kModem0).empty());
}

TEST_F(ModemDBusTest, SimWithoutIdentifierFailsAfterStoringTheModem) {
  Start({R"({"modem": {"Model": "EM7565", "Revision": "R1", "EquipmentIdentifier": "35"},
             "sim": {}})"});
  {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    modem.m_sSimId = "old";
  }
  EXPECT_EQ(-1, modem.GetdBusModemInfo());
  EXPECT_EQ(1, log.Count("No SIM detected\r\n"));
  EXPECT_EQ("EM7565", Get(modem.m_sModel));
  EXPECT_EQ("R1", Get(modem.m_sRevision));
  EXPECT_EQ("35", Get(modem.m_sIMEI));
  EXPECT_EQ("old", Get(modem.m_sSimId));
}

TEST_F(ModemDBusTest, ModemWithoutSimPathKeepsTheSimId) {
  Start({R"({"modem": {"Model": "EM7565", "OwnNumbers": []}})"});
  {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    modem.m_sSimId = "old";
    modem.m_sPhoneNumber = "old";
  }
  EXPECT_EQ(0, modem.GetdBusModemInfo());
  EXPECT_EQ("old", Get(modem.m_sSimId));
  EXPECT_EQ("", Get(modem.m_sPhoneNumber));
  EXPECT_EQ(0, log.Count("No SIM detected"));
}

TEST_F(ModemDBusTest, NoModemAndRemovedModemFail) {
  Start({});
  EXPECT_EQ(-1, modem.GetdBusModemInfo());
  mock.StopService();
  Start({kSierra});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  mock.RemoveModem(kModem0);
  EXPECT_EQ(-1, modem.GetdBusModemInfo());
  EXPECT_EQ("", GLOBAL_CELL_MODEMPATH);
}

TEST_F(ModemDBusTest, ModemManagerNotRunning) {
  Start({kSierra});
  ASSERT_EQ(0, modem.GetdBusModemInfo());
  mock.StopService();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(-1, modem.GetdBusModemInfo());
  EXPECT_EQ(0, modem.GetdBusDynamicInfo());  // the bus itself is there
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, errors.find("Got an error: '")) << errors;
  EXPECT_EQ("Unknown", Get(modem.m_sRegState));
}

// Runs in a fresh process: GIO keeps the first system-bus connection.
TEST(ModemNoBusTest, BothRefreshesFailWithoutASystemBus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/wanvox/bus", 1);
        CellularModem modem;
        const bool failed = modem.GetdBusModemInfo() == -1 && modem.GetdBusDynamicInfo() == -1;
        exit(failed ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
