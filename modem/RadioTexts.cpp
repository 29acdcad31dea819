// Tested by tests/modem_manager_test.cpp.
#include "modem/RadioTexts.h"

#include <cstdlib>

std::string RssiText(bool recent, double lteRssi, uint32_t quality) {
  if (!recent) return "0";
  if (lteRssi != 0.0) return std::to_string(lteRssi);
  if (quality == 0) return "0";
  return std::to_string(static_cast<int>(quality / 2) - 100);
}

const char* AccessTechnologyType(uint32_t accessTechnologies) {
  if (accessTechnologies & 0x4000) return "4G LTE";   // LTE
  if (accessTechnologies & 0x3fe0) return "3G";       // UMTS .. EV-DO rev. B
  if (accessTechnologies & 0x1f) return "2G";         // POTS .. EDGE
  return nullptr;
}

const char* ModemErrorText(uint32_t reason) {
  switch (reason) {
    case 0: return "None";
    case 2: return "SIM Missing";
    case 3: return "SIM Error";
    default: return "Unknown";
  }
}

Registration RegistrationFor(uint32_t state) {
  switch (state) {
    case 0: return {"Idle", false, false};
    case 1: return {"Home", true, false};
    case 2: return {"Searching", false, false};
    case 3: return {"Denied", false, false};
    case 5: return {"Roaming", true, true};
    default: return {"Unknown", false, false};
  }
}

int32_t OperatorCodeNumber(const std::string& code) {
  return static_cast<int32_t>(strtol(code.c_str(), nullptr, 10));
}
