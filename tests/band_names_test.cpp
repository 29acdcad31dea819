// Band names, band generations and the band texts of CellularModem.
#include "modem/BandNames.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modem/CellularModem.h"

namespace {

TEST(BandNameTest, NamedCodes) {
  const struct {
    uint32_t band;
    const char* name;
  } kRows[] = {
      {1, "EGSM"},     {2, "DCS"},          {3, "PCS"},          {4, "G850"},
      {5, "U2100"},    {6, "U1800"},        {7, "U17IV"},        {8, "U800"},
      {9, "U850"},     {10, "U900"},        {11, "U17IX"},       {12, "U1900"},
      {13, "U2600"},   {31, "EUTRAN_I"},    {34, "EUTRAN_IV"},   {39, "EUTRAN_IX"},
      {43, "EUTRAN_XIII"}, {44, "EUTRAN_XIV"}, {47, "EUTRAN_XVII"},
      {49, "EUTRAN_XIX"},  {54, "EUTRAN_XXIV"}, {56, "EUTRAN_XXVI"},
      {63, "EUTRAN_XXXIII"}, {69, "EUTRAN_XXXIX"}, {70, "EUTRAN_XL"},
      {74, "EUTRAN_XLIV"}, {128, "CDMA_BC0_CELLULAR_800"}, {132, "CDMA_BC4_KOREAN_PCS"},
      {134, "CDMA_BC5_NMT450"}, {139, "CDMA_BC10_SECONDARY_800"},
      {144, "CDMA_BC15_AWS"}, {148, "CDMA_BC19_US_LOWER_700"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(row.name, BandName(row.band)) << "band " << row.band;
  }
}

TEST(BandNameTest, CodesWithoutNameGiveEmptyTextAndNoGeneration) {
  for (uint32_t band : {0u, 14u, 30u, 45u, 46u, 57u, 62u, 75u, 127u, 133u, 149u, 200u,
                        0xffffffffu}) {
    EXPECT_EQ("", BandName(band)) << "band " << band;
    EXPECT_EQ(BandGeneration::None, GenerationOfBand(band)) << "band " << band;
  }
}

TEST(BandNameTest, Generations) {
  const struct {
    uint32_t band;
    BandGeneration generation;
  } kRows[] = {
      {1, BandGeneration::G2},   {2, BandGeneration::G3},   {4, BandGeneration::G3},
      {13, BandGeneration::G3},  {31, BandGeneration::G4},  {44, BandGeneration::G4},
      {47, BandGeneration::G4},  {56, BandGeneration::G4},  {63, BandGeneration::G4},
      {74, BandGeneration::G4},  {128, BandGeneration::G2}, {132, BandGeneration::G2},
      {134, BandGeneration::G2}, {148, BandGeneration::G2},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(row.generation, GenerationOfBand(row.band)) << "band " << row.band;
  }
}

class BandTextTest : public ::testing::Test {
 protected:
  void Set(const std::string& networkType, const std::vector<uint32_t>& bands) {
    std::lock_guard<std::mutex> hold(modem.m_InfoLock);
    modem.m_sNetworkType = networkType;
    modem.m_CurrentBands = bands;
  }
  std::string Bands() {
    std::string out = "stale";
    modem.GetCurrentBands(out);
    return out;
  }
  std::string BandType() {
    std::string out = "stale";
    modem.GetCurrentBandType(out);
    return out;
  }

  CellularModem modem;
};

TEST_F(BandTextTest, BandLines) {
  const struct {
    const char* networkType;
    std::vector<uint32_t> bands;
    const char* line;
  } kRows[] = {
      {"4G LTE", {43, 34}, "4G LTE:EUTRAN_XIII,EUTRAN_IV"},
      {"", {5}, ":U2100"},
      {"3G", {}, "3G"},
      {"", {}, ""},
      {"4G LTE", {5, 200, 31}, "4G LTE:U2100,,EUTRAN_I"},
      {"N/A", {0}, "N/A:"},
  };
  for (const auto& row : kRows) {
    Set(row.networkType, row.bands);
    EXPECT_EQ(row.line, Bands()) << "network type '" << row.networkType << "'";
  }
}

TEST_F(BandTextTest, BandTypes) {
  const struct {
    std::vector<uint32_t> bands;
    const char* type;
  } kRows[] = {
      {{43, 4}, "4G LTE"}, {{4, 43}, "4G LTE"}, {{4, 1}, "3G"}, {{1}, "2G"},
      {{140, 1}, "2G"},    {{}, "N/A"},         {{0}, "N/A"},   {{200, 133}, "N/A"},
  };
  for (const auto& row : kRows) {
    Set("ignored", row.bands);
    EXPECT_EQ(row.type, BandType()) << "first band " << (row.bands.empty() ? 0 : row.bands[0]);
  }
}

}  // namespace
