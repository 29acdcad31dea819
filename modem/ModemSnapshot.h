// The ModemManager snapshot: what the last D-Bus completion callbacks read.
// Modem thread only (the callbacks run inside `loop`, which only that thread
// runs, and the refreshes read the values right after); no lock.
#ifndef WANVOX_MODEM_MODEMSNAPSHOT_H_
#define WANVOX_MODEM_MODEMSNAPSHOT_H_

#include <cstdint>
#include <string>
#include <vector>

// Modem object (GetManagedObjects), written together by one callback.
extern std::string GLOBAL_CELL_MODEL;          // empty: no modem
extern std::string GLOBAL_CELL_REVISION;       // cut at the first blank
extern std::string GLOBAL_CELL_DEVICEID;
extern std::string GLOBAL_CELL_IMEI;
extern std::string GLOBAL_CELL_PHONENUMBER;    // first of OwnNumbers
extern std::string GLOBAL_CELL_SIMPATH;        // empty: no SIM query
extern std::string GLOBAL_CELL_MODEMPATH;      // Signal and 3GPP object
extern uint32_t GLOBAL_CELL_SIGNALQUALITY;     // percent
extern bool GLOBAL_CELL_SIGNALQUALITY_RECENT;
extern uint32_t GLOBAL_CELL_ACCESSTECHNOLOGIES;  // MMModemAccessTechnology bits
extern int32_t GLOBAL_MODEM_STATE;             // MMModemState, -1..11
extern uint32_t GLOBAL_MODEM_ERROR;            // MMModemStateFailedReason
extern std::vector<uint32_t> GLOBAL_CELL_CURRENTBANDS;  // MMModemBand codes

// SIM object.
extern std::string GLOBAL_CELL_SIMID;

// Modem3gpp interface.
extern std::string GLOBAL_OPERATORCODE;        // MCC and MNC digits
extern uint32_t GLOBAL_REG_STATE;              // 4 ("unknown") until read
extern uint32_t GLOBAL_SIM_SUB_STATE;

// Signal interface, "Lte" dictionary.
extern double GLOBAL_RSSI;                     // dBm
extern double GLOBAL_RSRQ;                     // dB
extern double GLOBAL_RSRP;                     // dBm
extern double GLOBAL_SNR;                      // dB

#endif  // WANVOX_MODEM_MODEMSNAPSHOT_H_
