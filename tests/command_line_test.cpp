#include "core/CommandLine.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Case {
  std::vector<std::string> args;
  bool help;
  int level;
};

TEST(CommandLineTest, ScansLeftToRightAndStopsAtHelp) {
  const Case cases[] = {
      {{}, false, 0},
      {{"-d", "5"}, false, 5},
      {{"-d", "300"}, false, 44},
      {{"-d", "-1"}, false, 255},
      {{"-d", "abc"}, false, 0},
      {{"-d"}, false, 0},
      {{"foo", "bar"}, false, 0},
      {{"--help"}, true, 0},
      {{"?"}, true, 0},
      {{"-d", "5", "--help"}, true, 5},
      {{"-d", "?"}, true, 0},
      {{"--help", "-d", "9"}, true, 0},
      {{"-d", "7", "-d", "8"}, false, 8},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv{const_cast<char*>("wanvox")};
    std::string joined;
    for (const std::string& arg : c.args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
      joined += arg + " ";
    }
    uint8_t level = 0;
    EXPECT_EQ(c.help, ScanCommandLine(static_cast<int>(argv.size()), argv.data(), &level))
        << joined;
    EXPECT_EQ(c.level, level) << joined;
  }
}

}  // namespace
