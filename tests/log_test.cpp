#include "core/Log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wanvox-logtest.XXXXXX";
    dir_ = mkdtemp(pattern);
    dir_ += "/";
  }
  void TearDown() override {
    std::string command = "rm -rf " + dir_;
    ASSERT_EQ(0, system(command.c_str()));
  }

  std::string Path(const std::string& name) const { return dir_ + name; }

  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name)) << text;
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  bool Exists(const std::string& name) const {
    struct stat st;
    return stat(Path(name).c_str(), &st) == 0;
  }

  std::string dir_;
};

TEST_F(LogTest, RotationDropsTheOldestAndShiftsTheChainOverGaps) {
  Write("wanvox", "current");
  for (int n = 1; n <= 25; ++n) {
    if (n == 7) continue;  // a missing copy is skipped
    Write("wanvox." + std::to_string(n), "copy " + std::to_string(n));
  }
  Log log(Log::kRotatedFile, "wanvox", dir_.c_str());

  EXPECT_EQ("", Read("wanvox"));
  EXPECT_EQ("current", Read("wanvox.1"));
  EXPECT_EQ("copy 1", Read("wanvox.2"));
  EXPECT_EQ("copy 6", Read("wanvox.7"));
  EXPECT_FALSE(Exists("wanvox.8"));
  EXPECT_EQ("copy 8", Read("wanvox.9"));
  EXPECT_EQ("copy 24", Read("wanvox.25"));
  EXPECT_FALSE(Exists("wanvox.26"));
}

TEST_F(LogTest, AppendedFileGrowsAcrossLoggers) {
  { Log(Log::kAppendedFile, "modem-errors", dir_.c_str()).printf(3, "one\n"); }
  { Log(Log::kAppendedFile, "modem-errors", dir_.c_str()).printf(3, "two\n"); }
  EXPECT_EQ("one\ntwo\n", Read("modem-errors"));
  EXPECT_FALSE(Exists("modem-errors.1"));
}

TEST_F(LogTest, OutputsAreKeptOnlyWhenTheyOpen) {
  struct Case {
    uint8_t requested;
    const char* name;
    const char* dir;
    uint8_t kept;
  } cases[] = {
      {Log::kStdout | Log::kRotatedFile, "a", nullptr, Log::kStdout | Log::kRotatedFile},
      {Log::kStdout | Log::kRotatedFile, nullptr, nullptr, Log::kStdout},
      {Log::kAppendedFile, nullptr, nullptr, 0},
      {Log::kRotatedFile, "a", "/nonexistent-dir/", 0},
      // One file handle: the rotated file wins.
      {Log::kRotatedFile | Log::kAppendedFile, "b", nullptr, Log::kRotatedFile},
  };
  for (const Case& c : cases) {
    Log log(c.requested, c.name, c.dir ? c.dir : dir_.c_str());
    EXPECT_EQ(c.kept, log.outputs()) << "requested " << int(c.requested);
  }
}

TEST_F(LogTest, MessagesOfTheBufferSizeOrMoreAreDropped) {
  Log log(Log::kStdout | Log::kRotatedFile, "wanvox", dir_.c_str());
  std::string fits(Log::kBufferSize - 1, 'x');
  std::string too_long(Log::kBufferSize, 'y');

  testing::internal::CaptureStdout();
  log.printf(6, "%s", fits.c_str());
  log.printf(6, "%s", too_long.c_str());
  log.printf(6, "%s!", fits.c_str());
  fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(fits, out);
  EXPECT_EQ(fits, Read("wanvox"));
}

TEST_F(LogTest, TextWithoutLineFeedReachesStdoutAndFileAtOnce) {
  Log log(Log::kSyslog | Log::kStdout | Log::kRotatedFile, "wanvox", dir_.c_str());
  testing::internal::CaptureStdout();
  log.printf(4, "Caught signal %d : ", 15);
  fflush(stdout);
  EXPECT_EQ("Caught signal 15 : ", testing::internal::GetCapturedStdout());
  EXPECT_EQ("Caught signal 15 : ", Read("wanvox"));
}

}  // namespace
