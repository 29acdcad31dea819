// Tested end to end (wwan0) by tests/e2e/test_modem.py.
#include "modem/CellularAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "core/base/Globals.h"

namespace {

bool IsCellularInterface(const char* name) {
  return name != nullptr && (strcmp(name, "ppp0") == 0 || strcmp(name, "wwan0") == 0);
}

void TakeIPv4(const struct ifaddrs* entry, CellularAddresses* found) {
  const auto* in = reinterpret_cast<const struct sockaddr_in*>(entry->ifa_addr);
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
  found->ipv4 = text;
  found->number = in->sin_addr.s_addr;
  lgr->printf(6, "    %s IP Address %s [0x%08x]\n", entry->ifa_name, text, found->number);
  found->result = 0;
}

void TakeIPv6(const struct ifaddrs* entry, CellularAddresses* found) {
  const auto* in6 = reinterpret_cast<const struct sockaddr_in6*>(entry->ifa_addr);
  char text[INET6_ADDRSTRLEN] = "";
  inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
  found->ipv6 = text;
  lgr->printf(6, "    %s IPv6 Address %s\n", entry->ifa_name, text);
  found->result = 0;
}

}  // namespace

CellularAddresses FindCellularAddresses(const struct ifaddrs* list) {
  CellularAddresses found;
  for (const struct ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || !IsCellularInterface(entry->ifa_name)) continue;
    if (entry->ifa_addr->sa_family == AF_INET) {
      TakeIPv4(entry, &found);
    } else if (entry->ifa_addr->sa_family == AF_INET6) {
      TakeIPv6(entry, &found);
    }
  }
  return found;
}
