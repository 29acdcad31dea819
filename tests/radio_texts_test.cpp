// The radio refresh's derivations: RSSI text, access technologies, modem
// error, registration and operator code.
#include "modem/RadioTexts.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(RadioTextsTest, RssiText) {
  const struct {
    bool recent;
    double lteRssi;
    uint32_t quality;
    const char* text;
  } kRows[] = {
      {false, -71.0, 80, "0"},           // not recent: whatever the values
      {true, -71.0, 31, "-71.000000"},   // the LTE value wins
      {true, -71.5, 0, "-71.500000"},
      {true, 0.0, 31, "-85"},            // estimate from the quality
      {true, 0.0, 70, "-65"},
      {true, 0.0, 100, "-50"},
      {true, 0.0, 1, "-100"},
      {true, 0.0, 0, "0"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(row.text, RssiText(row.recent, row.lteRssi, row.quality))
        << row.recent << " " << row.lteRssi << " " << row.quality;
  }
}

TEST(RadioTextsTest, AccessTechnologies) {
  const struct {
    uint32_t bits;
    const char* type;  // nullptr: fall back to the band list
  } kRows[] = {
      {0x4000, "4G LTE"}, {0x4020, "4G LTE"}, {0x4000 | 0x2, "4G LTE"},
      {0x20, "3G"},       {0x2000, "3G"},     {0x100 | 0x1, "3G"},
      {0x10, "2G"},       {0x1, "2G"},        {0x2, "2G"},
      {0, nullptr},       {0x8000, nullptr},  {0x10000, nullptr},
  };
  for (const auto& row : kRows) {
    const char* type = AccessTechnologyType(row.bits);
    if (row.type == nullptr) {
      EXPECT_EQ(nullptr, type) << std::hex << row.bits;
    } else {
      ASSERT_NE(nullptr, type) << std::hex << row.bits;
      EXPECT_STREQ(row.type, type) << std::hex << row.bits;
    }
  }
}

TEST(RadioTextsTest, ModemErrorText) {
  EXPECT_STREQ("None", ModemErrorText(0));
  EXPECT_STREQ("Unknown", ModemErrorText(1));
  EXPECT_STREQ("SIM Missing", ModemErrorText(2));
  EXPECT_STREQ("SIM Error", ModemErrorText(3));
  EXPECT_STREQ("Unknown", ModemErrorText(4));
  EXPECT_STREQ("Unknown", ModemErrorText(0xffffffffu));
}

TEST(RadioTextsTest, Registration) {
  const struct {
    uint32_t state;
    const char* text;
    bool registered;
    bool roaming;
  } kRows[] = {
      {0, "Idle", false, false},    {1, "Home", true, false},
      {2, "Searching", false, false}, {3, "Denied", false, false},
      {4, "Unknown", false, false}, {5, "Roaming", true, true},
      {6, "Unknown", false, false}, {7, "Unknown", false, false},
      {10, "Unknown", false, false}, {11, "Unknown", false, false},
  };
  for (const auto& row : kRows) {
    const Registration registration = RegistrationFor(row.state);
    EXPECT_STREQ(row.text, registration.text) << "state " << row.state;
    EXPECT_EQ(row.registered, registration.registered) << "state " << row.state;
    EXPECT_EQ(row.roaming, registration.roaming) << "state " << row.state;
  }
}

TEST(RadioTextsTest, OperatorCode) {
  EXPECT_EQ(311480, OperatorCodeNumber("311480"));
  EXPECT_EQ(26201, OperatorCodeNumber("26201"));
  EXPECT_EQ(0, OperatorCodeNumber(""));
  EXPECT_EQ(0, OperatorCodeNumber("n/a"));
  EXPECT_EQ(310, OperatorCodeNumber("310xx"));
}

}  // namespace
