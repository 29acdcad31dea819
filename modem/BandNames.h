// Names and radio generations of ModemManager band codes (MMModemBand).
// Pure functions; any thread.
#ifndef WANVOX_MODEM_BANDNAMES_H_
#define WANVOX_MODEM_BANDNAMES_H_

#include <cstdint>
#include <string>

enum class BandGeneration { None, G2, G3, G4 };

// "EGSM", "U2100", "EUTRAN_XIII", "CDMA_BC15_AWS", ...; empty for a code
// without a name.
std::string BandName(uint32_t band);

// The generation a named band belongs to; None for a code without a name.
BandGeneration GenerationOfBand(uint32_t band);

#endif  // WANVOX_MODEM_BANDNAMES_H_
