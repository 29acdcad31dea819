// Run state and hardware kind of the internal modem. Plain codes shared by
// the modem thread (writes every state), the udev thread (writes Attached
// and Offline, and the modem type) and the publisher (tests for Running).
#ifndef WANVOX_MODEM_MODEMRUNSTATE_H_
#define WANVOX_MODEM_MODEMRUNSTATE_H_

#include <cstdint>

// The codes are part of the contract between the threads; do not renumber.
enum ModemRunState : int32_t {
  NoModem = 0,    // nothing attached (start, after Shutdown)
  Attached = 1,   // udev reported the port; settings are loaded next
  Detected = 2,   // hardware line logged; querying next
  Querying = 3,   // asking ModemManager until the identity can be read
  Running = 4,    // identity known; radio and identity refreshed every ~6 s
  Shutdown = 5,   // stop requested; run() ends on the next pass
  Error = 6,      // the modem stopped answering; re-attach after a wait
  Offline = 7,    // udev reported the removal of the attached port
};

// Hardware kind, stored by the udev detector before SetPath.
enum ModemType : int32_t {
  UnknownModem = 0,
  NimbelinkGemalto = 1,
  NimbelinkTelitLE910 = 2,
  NimbelinkTelitHE910 = 3,
  SierraEM7565 = 4,
  SierraEM7565Alt = 5,          // same module, reported under a second code
  NimbelinkTelitLE910EUV2 = 6,
};

#endif  // WANVOX_MODEM_MODEMRUNSTATE_H_
