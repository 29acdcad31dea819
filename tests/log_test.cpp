// Log's size limit. Rotation, the appended error log, unopenable files and a
// message without a line feed are checked on the daemon's own loggers in
// tests/e2e/test_core.py.
#include "core/base/Log.h"

#include <string>

#include <gtest/gtest.h>

#include "core/base/Globals.h"
#include "tests/log_capture.h"

namespace {

TEST(LogTest, MessagesOfTheBufferSizeOrMoreAreDropped) {
  LogCapture capture(&logger);
  const std::string fits(Log::kBufferSize - 1, 'x'), tooLong(Log::kBufferSize, 'y');
  logger->printf(6, "%s", fits.c_str());
  logger->printf(6, "%s", tooLong.c_str());
  logger->printf(6, "%s!", fits.c_str());
  EXPECT_EQ(fits, capture.Text());
}

}  // namespace
