// The settings files and the log's size limit. Runs under tests/sandboxed: /etc is a scratch
// overlay there. Rotation, the error log and unopenable log files: tests/e2e/test_core.py.
#include "core/DaemonConfig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "core/base/Globals.h"
#include "core/base/Log.h"
#include "core/base/SettingsFile.h"
#include "tests/log_capture.h"

namespace {

const std::string kPath = DaemonSettingsPath();

class DaemonConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, system("mkdir -p /etc/ostrel/quarn"));
    remove(kPath.c_str());
  }

  static void WriteFile(const std::string& text) { std::ofstream(kPath) << text; }
  // What |load| printed on standard output.
  template <typename F>
  static std::string Captured(F load) {
    testing::internal::CaptureStdout();
    load();
    return testing::internal::GetCapturedStdout();
  }
  static void SetModificationTime(time_t seconds, long nanoseconds) {
    struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, kPath.c_str(), times, 0));
  }
};

TEST_F(DaemonConfigTest, LoadsTheInterval) {
  const struct { const char* text; int result; uint32_t interval; const char* logged; } cases[] = {
      {"{\"interval\": 30}", 0, 30, "Setting Telematics Interval to 30\n"},
      {"{\"interval\": 12.9}", 0, 12, "Setting Telematics Interval to 12\n"},
      {"{\"interval\": -5}", 0, 0, "Setting Telematics Interval to 0\n"},
      {"{\"interval\": 99999999999}", 0, 2147483647, "Setting Telematics Interval to 2147483647\n"},
      {"{\"interval\": \"30\"}", 0, 60, ""}, {"{\"other\": 5}", 0, 60, ""}, {"[1, 2]", 0, 60, ""},
      {"", -1, 60, ""}, {"{\"interval\": ", -1, 60, ""}, {nullptr, -1, 60, ""},  // no file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "no file");
    if (c.text) WriteFile(c.text); else remove(kPath.c_str());
    __cfg cfg = {};
    cfg.interval = 7;
    int result = 0;
    const std::string out = Captured([&] { result = LoadConfigFromDisk(&cfg); });
    EXPECT_EQ(c.result, result);
    EXPECT_EQ(c.interval, cfg.interval);
    EXPECT_EQ("Loading Config from file /etc/ostrel/quarn/wanvox.conf\n" + std::string(c.logged),
              out);
  }
}

TEST_F(DaemonConfigTest, InvalidTextLeavesTheFileAlone) {
  WriteFile("{\"interval\": 5}");
  char text[] = "{not json";
  EXPECT_EQ("Error parsing json payload\n",
            Captured([&] { EXPECT_EQ(-1, WriteConfigToDisk(text, 9)); }));
  std::ifstream file(kPath);
  EXPECT_EQ("{\"interval\": 5}", std::string(std::istreambuf_iterator<char>(file), {}));
}

TEST_F(DaemonConfigTest, ChangeIsTheModificationTime) {
  WriteFile("{\"interval\": 5}");
  SetModificationTime(1000, 500);
  __cfg cfg = {};
  LoadConfigFromDisk(&cfg);
  EXPECT_EQ(0, CheckConfigChanged(&cfg));

  SetModificationTime(1000, 501);  // nanoseconds alone count
  EXPECT_EQ(-1, CheckConfigChanged(&cfg));
  SetModificationTime(1001, 500);
  EXPECT_EQ(-1, CheckConfigChanged(&cfg));
  SetModificationTime(1000, 500);  // put back: no change
  EXPECT_EQ(0, CheckConfigChanged(&cfg));

  // A load whose parse fails still takes the new status.
  WriteFile("garbage");
  SetModificationTime(2000, 0);
  ASSERT_EQ(-1, CheckConfigChanged(&cfg));
  EXPECT_EQ(-1, LoadConfigFromDisk(&cfg));
  EXPECT_EQ(0, CheckConfigChanged(&cfg));
  EXPECT_EQ(60u, cfg.interval);

  remove(kPath.c_str());
  EXPECT_EQ(0, CheckConfigChanged(&cfg));
}

// What sits at a settings or identity path decides whether it is read or written. Each row:
// what is there, what ReadSmallFile and then ReplaceSmallFile return, and why they refused.
TEST(SettingsFileTest, OnlyRegularFilesUpTo64KiBAreReadOrWritten) {
  char pattern[] = "/tmp/wanvox-settingsfile.XXXXXX";
  const std::string dir = mkdtemp(pattern), path = dir + "/f", target = dir + "/target";
  const struct { std::string name, contents; int read, write; const char* why; } kCases[] = {
      {"missing", "", -1, 0, nullptr},
      {"regular", "12345", 0, 0, nullptr},
      {"symlink", "12345", 0, 0, nullptr},
      {"exactly 64 KiB", std::string(65536, 'x'), 0, 0, nullptr},
      {"64 KiB + 1", std::string(65537, 'x'), -2, 0, "larger than 65536 bytes"},
      {"directory", "", -2, -1, "not a regular file"},  // FIFOs: tests/e2e/test_modem.py
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    if (!c.contents.empty()) std::ofstream(c.name == "symlink" ? target : path) << c.contents;
    const int linked = c.name == "symlink" ? symlink(target.c_str(), path.c_str()) : 0;
    if (c.name == "directory") mkdir(path.c_str(), 0700);
    LogCapture log{&lgr};
    std::string contents;
    struct stat status = {};
    EXPECT_EQ(linked, 0);
    EXPECT_EQ(ReadSmallFile(lgr, path, &contents, &status), c.read);
    EXPECT_EQ(contents, c.read == 0 ? c.contents : "");
    EXPECT_EQ(ReplaceSmallFile(lgr, path, "written"), c.write);
    const std::string why = c.why ? ": " + std::string(c.why) + "\n" : "";
    EXPECT_EQ(log.Text(), (c.why ? "Not reading " + path + why : "") +
                              (c.write ? "Not writing " + path + why : ""));
    contents.clear();
    if (c.write == 0) ReadSmallFile(lgr, path, &contents, &status);
    EXPECT_EQ(contents, c.write == 0 ? "written" : "");
    struct stat link = {};
    lstat(path.c_str(), &link);
    EXPECT_EQ(S_ISLNK(link.st_mode), c.name == "symlink");
    remove(path.c_str());
    remove(target.c_str());
  }
  rmdir(dir.c_str());
}

TEST(LogTest, MessagesOfTheBufferSizeOrMoreAreDropped) {
  LogCapture capture(&logger);
  const std::string fits(Log::kBufferSize - 1, 'x'), tooLong(Log::kBufferSize, 'y');
  logger->printf(6, "%s", fits.c_str());
  logger->printf(6, "%s", tooLong.c_str());
  logger->printf(6, "%s!", fits.c_str());
  EXPECT_EQ(fits, capture.Text());
}

}  // namespace
