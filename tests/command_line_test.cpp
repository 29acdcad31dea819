// The help rows the daemon exits on are run end to end in tests/e2e/test_core.py.
#include "core/CommandLine.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(CommandLineTest, ScansLeftToRightAndStopsAtHelp) {
  const struct { std::vector<std::string> args; bool help; int level; } cases[] = {
      {{}, false, 0}, {{"-d", "5"}, false, 5}, {{"-d", "300"}, false, 44},
      {{"-d", "-1"}, false, 255}, {{"-d", "abc"}, false, 0}, {{"-d"}, false, 0},
      {{"foo", "bar"}, false, 0}, {{"-d", "7", "-d", "8"}, false, 8},
      {{"-d", "5", "--help"}, true, 5}, {{"--help", "-d", "9"}, true, 0}};
  for (const auto& c : cases) {
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
