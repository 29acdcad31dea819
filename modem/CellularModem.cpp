// Construction, the udev thread's entry points, the reset after a loss and
// the writes into the modem's own BEP message. Lock rule: m_InfoLock and the
// BEP message's mutex are never held together; values cross from one to the
// other as copies. Tested by tests/cellular_modem_test.cpp.
#include "modem/CellularModem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <stdexcept>

#include <giomm/init.h>

#include "core/base/CopyUnder.h"
#include "core/base/Globals.h"
#include "modem/ModemBus.h"
#include "routers/BEPMessage.h"

CellularModem::CellularModem(Clock& clock)
    : m_pBEPMessage(new BEPMessage(0)),
      m_State(NoModem),
      m_bModemFound(false),
      m_bStopped(false),
      m_bStopRequest(false),
      m_ModemType(UnknownModem),
      m_OperatorCode(0),
      m_ModemState(0),
      m_RegState(0),
      m_SimSubState(0),
      m_sRegState("Unknown"),
      m_bRegistered(false),
      m_bRoaming(false),
      m_IPAddress(0),
      m_Probes{[this] { return GetdBusModemInfo(); }, [this] { return GetdBusDynamicInfo(); },
               [this] { return GetIPAddressPosix(); }},
      m_Clock(clock),
      m_RadioDeadline(0),
      m_IdentityDeadline(0) {
  // Number and text formatting follow the gateway's configured locale. A
  // locale the system does not have must not stop the daemon: keep "C".
  try {
    std::locale::global(std::locale(""));
  } catch (const std::runtime_error&) {
  }
  Gio::init();
  m_pBus.reset(new ModemBus());
}

CellularModem::~CellularModem() { delete m_pBEPMessage; }

void CellularModem::RequestStop() {
  m_bStopRequest = true;  // first, so that the cancelled query finds it set
  m_StopWake.Ring();
  m_pBus->Cancel();
}

void CellularModem::SetPath(const char* path) {
  printf("SetPath: %s\r\n", path);
  fflush(stdout);
  m_sDevPath = path;
  m_State = Attached;
  m_PathWake.Ring();
}

int CellularModem::RemovePath(const char* path) {
  if (path == nullptr) return -1;  // udev gives some removed devices no node
  printf("RemovePath: %s\r\n", path);
  fflush(stdout);
  const int differs = strcmp(path, m_sDevPath.c_str());
  if (differs != 0) return differs;
  lgr->printf(6, "State: Modem Offline\r\n");
  m_State = Offline;
  ResetInfo();
  m_PathWake.Ring();
  return 0;
}

// m_sModemError, m_sNetworkType, m_sIPv6Address and m_bRegistered survive
// until the next refresh overwrites them.
int CellularModem::ResetInfo() {
  {
    std::lock_guard<std::mutex> hold(m_InfoLock);
    m_sRSSI.clear();
    m_sIPAddress.clear();
    m_sRevision.clear();
    m_sIMEI.clear();
    m_sSimId.clear();
    m_sPhoneNumber.clear();
    m_sModel.clear();
    m_OperatorCode = 0;
    m_sRegState = "Unknown";
    m_bRoaming = false;
    m_IPAddress = 0;
    m_ModemState = 0;
    m_RegState = 0;
    m_SimSubState = 0;
    m_CurrentBands.clear();
  }
  ClearMirror();
  return 0;
}

// The QID is the IMEI as a 64-bit number; each word is stored together with
// the device id derived from it.
void CellularModem::MirrorImei(const std::string& imei) {
  const unsigned long long qid = strtoull(imei.c_str(), nullptr, 10);
  BEPMessage* bep = m_pBEPMessage;
  {
    std::lock_guard<std::mutex> hold(bep->mutex);
    bep->qidHigh = static_cast<uint32_t>(qid >> 32);
    bep->GenerateDeviceID();
  }
  std::lock_guard<std::mutex> hold(bep->mutex);
  bep->qidLow = static_cast<uint32_t>(qid & 0xffffffffu);
  bep->GenerateDeviceID();
}

void CellularModem::MirrorRadio(bool haveAddress) {
  std::string text;
  uint32_t number = 0;
  bool roaming = false;
  {
    std::lock_guard<std::mutex> hold(m_InfoLock);
    text = m_sIPAddress;
    number = m_IPAddress;
    roaming = m_bRoaming;
  }
  std::lock_guard<std::mutex> hold(m_pBEPMessage->mutex);
  if (haveAddress) {
    m_pBEPMessage->ipAddressText = text;
    m_pBEPMessage->ipAddress = number;
  }
  m_pBEPMessage->roaming = roaming ? 1 : 0;
}

// The BEP radio element carries the magnitude: "-71.000000" gives 71.
void CellularModem::MirrorRssi() {
  const std::string rssi = CopyUnder(m_InfoLock, m_sRSSI);
  const int8_t dbm = static_cast<int8_t>(strtol(rssi.c_str(), nullptr, 10));
  std::lock_guard<std::mutex> hold(m_pBEPMessage->mutex);
  m_pBEPMessage->rssi = static_cast<int8_t>(-dbm);
}

void CellularModem::MirrorModel() {
  const std::string model = CopyUnder(m_InfoLock, m_sModel);
  std::lock_guard<std::mutex> hold(m_pBEPMessage->mutex);
  m_pBEPMessage->Model = model;
}

// Model and rssi keep their values.
void CellularModem::ClearMirror() {
  BEPMessage* bep = m_pBEPMessage;
  {
    std::lock_guard<std::mutex> hold(bep->mutex);
    bep->ipAddressText.clear();
    bep->ipAddress = 0;
    bep->roaming = 0;
    bep->firmwareVersion.clear();
  }
  MirrorImei("0");
  std::lock_guard<std::mutex> hold(bep->mutex);
  bep->Phone.clear();
}
