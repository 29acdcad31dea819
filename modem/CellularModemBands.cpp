// Band texts for the status record and the cellular interface's addresses.
// Tested by tests/modem_manager_test.cpp and tests/e2e/test_modem.py.
#include "modem/CellularModem.h"

#include <ifaddrs.h>

#include <mutex>

#include "modem/BandNames.h"
#include "modem/CellularAddresses.h"

// A band without a name leaves an empty item, so the positions still match
// ModemManager's list.
void CellularModem::GetCurrentBands(std::string& out) {
  out.clear();
  std::lock_guard<std::mutex> hold(m_InfoLock);
  out = m_sNetworkType;
  if (!m_CurrentBands.empty()) out += ":";
  for (size_t i = 0; i < m_CurrentBands.size(); ++i) {
    if (i > 0) out += ",";
    out += BandName(m_CurrentBands[i]);
  }
}

void CellularModem::GetCurrentBandType(std::string& out) {
  out.clear();
  bool seen4G = false, seen3G = false, seen2G = false;
  {
    std::lock_guard<std::mutex> hold(m_InfoLock);
    for (uint32_t band : m_CurrentBands) {
      const BandGeneration generation = GenerationOfBand(band);
      seen4G |= generation == BandGeneration::G4;
      seen3G |= generation == BandGeneration::G3;
      seen2G |= generation == BandGeneration::G2;
    }
  }
  out = seen4G ? "4G LTE" : seen3G ? "3G" : seen2G ? "2G" : "N/A";
}

int CellularModem::GetIPAddressPosix() {
  struct ifaddrs* list = nullptr;
  CellularAddresses found;
  if (getifaddrs(&list) == 0) {
    found = FindCellularAddresses(list);
    freeifaddrs(list);
  }
  std::lock_guard<std::mutex> hold(m_InfoLock);
  m_sIPAddress = found.ipv4;
  m_sIPv6Address = found.ipv6;
  m_IPAddress = found.number;
  return found.result;
}
