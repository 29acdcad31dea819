// How the radio refresh turns ModemManager's numbers into the published
// texts. Pure functions; any thread.
#ifndef WANVOX_MODEM_RADIOTEXTS_H_
#define WANVOX_MODEM_RADIOTEXTS_H_

#include <cstdint>
#include <string>

// Signal strength in dBm as text: "0" without a recent quality; the LTE
// rssi as "%f" when it is not 0.0; else "0" for quality 0, or the estimate
// quality/2 - 100 (integer division).
std::string RssiText(bool recent, double lteRssi, uint32_t quality);

// "4G LTE", "3G" or "2G" from MMModemAccessTechnology bits, or nullptr when
// no known bit is set (the caller then falls back to the band list).
const char* AccessTechnologyType(uint32_t accessTechnologies);

// "None", "SIM Missing", "SIM Error" or "Unknown" from
// MMModemStateFailedReason.
const char* ModemErrorText(uint32_t reason);

// The texts and flags of one MMModem3gppRegistrationState. States 6 and up
// (SMS only, emergency only, CSFB variants) count as unknown.
struct Registration {
  const char* text;
  bool registered;
  bool roaming;
};
Registration RegistrationFor(uint32_t state);

// The operator code's MCC and MNC digits as one number; 0 when the text is
// empty or not a number.
int32_t OperatorCodeNumber(const std::string& code);

#endif  // WANVOX_MODEM_RADIOTEXTS_H_
