#include "modem/CellularConfig.h"

const char* const kDefaultAPN = WANVOX_DEFAULT_APN;

std::string DefaultCellularConfig() {
  const std::string apn = kDefaultAPN;
  return "{\"provider\": \"Verizon (Ostrel)\", \"apn\": \"" + apn +
         "\", \"mode_b\": \"ANY\", \"apn_b\": \"" + apn +
         "\", \"user_b\": \"\", \"version\": 1, \"slot\": \"A\", "
         "\"mode\": \"ANY\", \"country\": \"United States\", \"user\": \"\", "
         "\"password\": \"\", \"roaming\": \"true\", \"password_b\": \"\", "
         "\"country_b\": \"United States\", \"provider_b\": \"Verizon (Ostrel)\", "
         "\"roaming_b\": \"true\"}";
}
