// Band codes follow ModemManager's MMModemBand: 1-13 GSM/UMTS, 31-44,
// 47-56 and 63-74 E-UTRAN (band number = code - 30), 128-148 CDMA band
// classes (133 unused). Tested by tests/modem_manager_test.cpp.
#include "modem/BandNames.h"

namespace {

const char* const kGsmUmts[] = {
    "EGSM", "DCS", "PCS", "G850", "U2100", "U1800", "U17IV",
    "U800", "U850", "U900", "U17IX", "U1900", "U2600",
};

// Indexed by code - 128; 133 has no name.
const char* const kCdma[] = {
    "CDMA_BC0_CELLULAR_800", "CDMA_BC1_PCS_1900",      "CDMA_BC2_TACS",
    "CDMA_BC3_JTACS",        "CDMA_BC4_KOREAN_PCS",    "",
    "CDMA_BC5_NMT450",       "CDMA_BC6_IMT2000",       "CDMA_BC7_CELLULAR_700",
    "CDMA_BC8_1800",         "CDMA_BC9_900",           "CDMA_BC10_SECONDARY_800",
    "CDMA_BC11_PAMR_400",    "CDMA_BC12_PAMR_800",     "CDMA_BC13_IMT2000_2500",
    "CDMA_BC14_PCS2_1900",   "CDMA_BC15_AWS",          "CDMA_BC16_US_2500",
    "CDMA_BC17_US_FLO_2500", "CDMA_BC18_US_PS_700",    "CDMA_BC19_US_LOWER_700",
};

bool IsEutran(uint32_t band) {
  return (band >= 31 && band <= 44) || (band >= 47 && band <= 56) ||
         (band >= 63 && band <= 74);
}

bool IsCdma(uint32_t band) { return band >= 128 && band <= 148 && band != 133; }

std::string Roman(unsigned int value) {
  static const struct {
    unsigned int value;
    const char* digits;
  } kDigits[] = {{40, "XL"}, {10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"}};
  std::string text;
  for (const auto& digit : kDigits) {
    while (value >= digit.value) {
      text += digit.digits;
      value -= digit.value;
    }
  }
  return text;
}

}  // namespace

std::string BandName(uint32_t band) {
  if (band >= 1 && band <= 13) return kGsmUmts[band - 1];
  if (IsEutran(band)) return "EUTRAN_" + Roman(band - 30);
  if (IsCdma(band)) return kCdma[band - 128];
  return "";
}

BandGeneration GenerationOfBand(uint32_t band) {
  if (IsEutran(band)) return BandGeneration::G4;
  if (band >= 2 && band <= 13) return BandGeneration::G3;
  if (band == 1 || IsCdma(band)) return BandGeneration::G2;
  return BandGeneration::None;
}
