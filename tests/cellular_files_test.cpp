// cellular.conf and the identity files under /etc/ostrel/cell. These tests
// write the real path, so they run only inside tests/sandboxed (an overlay
// over /etc).
#include "modem/CellularModem.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "core/Globals.h"
#include "tests/log_capture.h"

namespace {

const char kDir[] = "/etc/ostrel/cell";
const char kConf[] = "/etc/ostrel/cell/cellular.conf";

class CellularFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* sandboxed = getenv("WANVOX_SANDBOXED");
    if (sandboxed == nullptr || std::string(sandboxed) != "1") {
      GTEST_SKIP() << "writes /etc/ostrel/cell: run through tests/sandboxed";
    }
    ASSERT_EQ(0, system("rm -rf /etc/ostrel/cell && mkdir -p /etc/ostrel/cell"));
  }

  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static bool Exists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
  }
  void SetIdentity(const std::string& imei, const std::string& simId, const std::string& slot) {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    modem.m_sIMEI = imei;
    modem.m_sSimId = simId;
    modem.m_Config.slot = slot;
  }

  CellularModem modem;
  LogCapture log{&lgr};
};

TEST_F(CellularFilesTest, DefaultDocumentIsOneLineInKeyOrder) {
  const std::string apn = kDefaultAPN;
  EXPECT_EQ("{\"provider\": \"Verizon (Ostrel)\", \"apn\": \"" + apn +
                "\", \"mode_b\": \"ANY\", \"apn_b\": \"" + apn +
                "\", \"user_b\": \"\", \"version\": 1, \"slot\": \"A\", \"mode\": \"ANY\", "
                "\"country\": \"United States\", \"user\": \"\", \"password\": \"\", "
                "\"roaming\": \"true\", \"password_b\": \"\", \"country_b\": \"United States\", "
                "\"provider_b\": \"Verizon (Ostrel)\", \"roaming_b\": \"true\"}",
            DefaultCellularConfig());
  EXPECT_FALSE(apn.empty());
}

TEST_F(CellularFilesTest, WrittenDefaultDocumentIsByteForByteTheSame) {
  std::string document = DefaultCellularConfig();
  ASSERT_EQ(0, modem.WriteConfigToDisk(&document[0], document.size()));
  EXPECT_EQ(DefaultCellularConfig(), Read(kConf));
  EXPECT_EQ("Saving Config to file /etc/ostrel/cell/cellular.conf\n", log.Text());
}

TEST_F(CellularFilesTest, UnparsableTextIsNotWritten) {
  Write(kConf, "{\"version\": 1}");
  std::string text = "{\"version\": ";
  EXPECT_EQ(-1, modem.WriteConfigToDisk(&text[0], text.size()));
  EXPECT_EQ("{\"version\": 1}", Read(kConf));
  EXPECT_EQ("Error parsing json payload\n", log.Text());
}

TEST_F(CellularFilesTest, MissingFileKeepsSlotAndGivesDefaultApn) {
  __cellular_cfg cfg;
  cfg.slot = "B";
  cfg.apn = "old";
  EXPECT_EQ(-1, modem.LoadConfigFromDisk(&cfg));
  EXPECT_EQ("B", cfg.slot);
  EXPECT_EQ(kDefaultAPN, cfg.apn);
  EXPECT_EQ("Loading Config from file /etc/ostrel/cell/cellular.conf\n", log.Text());
}

TEST_F(CellularFilesTest, SettingsDocuments) {
  const std::string apn = kDefaultAPN;
  const struct {
    const char* document;
    int result;
    const char* slot;  // after a load that started with slot "X"
    std::string apn;
    const char* logTail;  // what follows the "Loading Config" line
  } kRows[] = {
      {"{\"version\": 1, \"slot\": \"A\", \"apn\": \"a.apn\", \"apn_b\": \"b.apn\"}", 0, "A",
       "a.apn", "Using Cellular Slot A\nSetting Cellular APN to a.apn\n"},
      {"{\"version\": 1, \"slot\": \"B\", \"apn\": \"a.apn\", \"apn_b\": \"b.apn\"}", 0, "B",
       "b.apn", "Using Cellular Slot B\nSetting Cellular APN to b.apn\n"},
      {"{\"version\": 1, \"slot\": \"b\", \"apn\": \"a.apn\", \"apn_b\": \"b.apn\"}", 0, "b",
       "a.apn", "Using Cellular Slot b\nSetting Cellular APN to a.apn\n"},
      {"{\"version\": 1, \"slot\": 2, \"apn\": \"a.apn\"}", 0, "A", "a.apn",
       "Using Cellular Slot A\nSetting Cellular APN to a.apn\n"},
      {"{\"version\": 1.5}", 0, "A", apn, "Using Cellular Slot A\n"},
      {"{\"version\": 1, \"slot\": \"B\", \"apn\": \"a.apn\"}", 0, "B", apn,
       "Using Cellular Slot B\n"},
      {"{\"version\": 1, \"apn\": 7}", 0, "A", apn, "Using Cellular Slot A\n"},
      {"{\"version\": \"1\", \"apn\": \"a.apn\"}", -1, "X", apn, ""},
      {"{\"apn\": \"a.apn\"}", -1, "X", apn, ""},
      {"[1, 2]", -1, "X", apn, ""},
      {"not json", -1, "X", apn, ""},
      {"", -1, "X", apn, ""},
  };
  for (const auto& row : kRows) {
    Write(kConf, row.document);
    __cellular_cfg cfg;
    cfg.slot = "X";
    const size_t logStart = log.Text().size();
    EXPECT_EQ(row.result, modem.LoadConfigFromDisk(&cfg)) << row.document;
    EXPECT_EQ(row.slot, cfg.slot) << row.document;
    EXPECT_EQ(row.apn, cfg.apn) << row.document;
    const std::string loading = "Loading Config from file /etc/ostrel/cell/cellular.conf\n";
    EXPECT_EQ(loading + row.logTail, log.Text().substr(logStart))
        << row.document;
  }
}

TEST_F(CellularFilesTest, LoadRecordsTheFileStatus) {
  Write(kConf, "{\"version\": 1}");
  struct stat status;
  ASSERT_EQ(0, stat(kConf, &status));
  ASSERT_EQ(0, modem.LoadConfigFromDisk(&modem.m_Config));
  std::lock_guard<std::mutex> hold(modem.m_InfoLock);
  EXPECT_EQ(status.st_ino, modem.m_Config.fileStatus.st_ino);
  EXPECT_EQ(status.st_mtim.tv_sec, modem.m_Config.fileStatus.st_mtim.tv_sec);
}

TEST_F(CellularFilesTest, ImeiFileIsCreatedBare) {
  ASSERT_EQ(0, system("rm -rf /etc/ostrel/cell"));
  SetIdentity("359225050123456", "", "A");
  EXPECT_EQ(0, modem.WriteIMEIToDisk());
  EXPECT_EQ("359225050123456", Read("/etc/ostrel/cell/IMEI"));
}

TEST_F(CellularFilesTest, StoredValueComparison) {
  const struct {
    std::string stored;
    bool rewritten;
  } kRows[] = {
      {"359225050123456", false},
      {"359225050123456\r\n", false},
      {"359225050123456  \t\n", false},
      {std::string("359225050123456\0garbage", 23), false},
      {" 359225050123456", true},
      {"\n359225050123456", true},
      {"359225050123457", true},
      {"", true},
  };
  SetIdentity("359225050123456", "", "A");
  for (const auto& row : kRows) {
    Write("/etc/ostrel/cell/IMEI", row.stored);
    EXPECT_EQ(0, modem.WriteIMEIToDisk());
    EXPECT_EQ(row.rewritten ? "359225050123456" : row.stored, Read("/etc/ostrel/cell/IMEI"))
        << "stored '" << row.stored << "'";
  }
}

TEST_F(CellularFilesTest, OnlyTheFirst64BytesAreCompared) {
  const std::string value(64, '7');
  SetIdentity(value + "8", "", "A");
  Write("/etc/ostrel/cell/IMEI", value + "9");
  EXPECT_EQ(0, modem.WriteIMEIToDisk());
  EXPECT_EQ(value + "8", Read("/etc/ostrel/cell/IMEI"));
  SetIdentity(value, "", "A");
  Write("/etc/ostrel/cell/IMEI", value + "9");
  EXPECT_EQ(0, modem.WriteIMEIToDisk());
  EXPECT_EQ(value + "9", Read("/etc/ostrel/cell/IMEI"));
}

TEST_F(CellularFilesTest, SimIdGoesToTheFileOfTheSlot) {
  SetIdentity("", "89148000004412345678", "A");
  EXPECT_EQ(0, modem.WriteSIMIDToDisk());
  EXPECT_EQ("89148000004412345678", Read("/etc/ostrel/cell/SIMID"));
  EXPECT_FALSE(Exists("/etc/ostrel/cell/SIMID_B"));

  SetIdentity("", "89011703278123456789", "B");
  EXPECT_EQ(0, modem.WriteSIMIDToDisk());
  EXPECT_EQ("89011703278123456789", Read("/etc/ostrel/cell/SIMID_B"));
  EXPECT_EQ("89148000004412345678", Read("/etc/ostrel/cell/SIMID"));

  SetIdentity("", "89011703278123456789", "b");  // only "B" is slot B
  EXPECT_EQ(0, modem.WriteSIMIDToDisk());
  EXPECT_EQ("89011703278123456789", Read("/etc/ostrel/cell/SIMID"));
}

TEST_F(CellularFilesTest, UnwritableFileFailsAndIsRetried) {
  ASSERT_EQ(0, system("mkdir -p /etc/ostrel/cell/IMEI"));  // a directory cannot be written
  SetIdentity("359225050123456", "", "A");
  EXPECT_EQ(-1, modem.WriteIMEIToDisk());
  ASSERT_EQ(0, system("rmdir /etc/ostrel/cell/IMEI"));
  EXPECT_EQ(0, modem.WriteIMEIToDisk());
  EXPECT_EQ("359225050123456", Read("/etc/ostrel/cell/IMEI"));
}

}  // namespace
