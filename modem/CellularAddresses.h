// Picks the cellular interface's addresses (ppp0 or wwan0) out of the
// operating system's interface list. Modem thread; logs through `lgr`.
#ifndef WANVOX_MODEM_CELLULARADDRESSES_H_
#define WANVOX_MODEM_CELLULARADDRESSES_H_

#include <cstdint>
#include <string>

struct ifaddrs;

struct CellularAddresses {
  std::string ipv4;     // dotted text, or empty
  std::string ipv6;     // standard IPv6 text, or empty
  uint32_t number = 0;  // the IPv4 address's network-order bytes as one word
  int result = -1;      // 0 once any address of ppp0 or wwan0 was taken
};

// Walks |list| in order; for each family a later entry replaces an earlier
// one. Logs "    %s IP Address %s [0x%08x]\n" or "    %s IPv6 Address %s\n"
// for each address taken. A null list gives the empty result.
CellularAddresses FindCellularAddresses(const struct ifaddrs* list);

#endif  // WANVOX_MODEM_CELLULARADDRESSES_H_
