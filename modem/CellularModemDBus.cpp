// The identity and radio refreshes. Each query creates a fresh proxy on the
// system-bus connection that m_pBus holds, and blocks in `loop` until its
// completion callback has filled the snapshot; the published members are
// then derived from the snapshot and stored under m_InfoLock, which is never
// held while the loop runs. A stop request cancels the query in flight, which
// then simply fails. Tested by tests/modem_manager_test.cpp against a mock
// ModemManager on a private bus.
#include "modem/CellularModem.h"

#include <time.h>

#include <mutex>
#include <string>

#include "core/base/Globals.h"
#include "modem/ModemBus.h"
#include "modem/ModemManagerCallbacks.h"
#include "modem/ModemSnapshot.h"
#include "modem/RadioTexts.h"

namespace {

const char* const kManagerPath = "/org/freedesktop/ModemManager1";
const char* const kObjectManager = "org.freedesktop.DBus.ObjectManager";
const char* const kSimInterface = "org.freedesktop.ModemManager1.Sim";
const char* const kSignalInterface = "org.freedesktop.ModemManager1.Modem.Signal";
const char* const kModem3gppInterface = "org.freedesktop.ModemManager1.Modem.Modem3gpp";

void LogUtcTime() {
  char text[21] = "";
  const time_t now = time(nullptr);
  struct tm utc;
  gmtime_r(&now, &utc);
  strftime(text, sizeof(text), "%FT%TZ", &utc);
  lgr->printf(6, "%s\r\n", text);
}

}  // namespace

int CellularModem::GetdBusModemInfo() {
  if (!m_pBus->Connect()) return -1;
  GLOBAL_CELL_MODEL.clear();
  GLOBAL_CELL_IMEI.clear();
  GLOBAL_CELL_REVISION.clear();
  GLOBAL_CELL_PHONENUMBER.clear();
  m_pBus->Query(kManagerPath, kObjectManager, &on_dbus_modem_proxy_available);
  if (GLOBAL_CELL_MODEL.empty()) return -1;
  {
    std::lock_guard<std::mutex> hold(m_InfoLock);
    m_sIMEI = GLOBAL_CELL_IMEI;
    m_sRevision = GLOBAL_CELL_REVISION;
    m_sModel = GLOBAL_CELL_MODEL;
  }
  if (!GLOBAL_CELL_SIMPATH.empty()) {
    GLOBAL_CELL_SIMID.clear();
    m_pBus->Query(GLOBAL_CELL_SIMPATH, kSimInterface, &on_dbus_sim_proxy_available);
    if (GLOBAL_CELL_SIMID.empty()) {
      lgr->printf(6, "No SIM detected\r\n");
      return -1;
    }
    std::lock_guard<std::mutex> hold(m_InfoLock);
    m_sSimId = GLOBAL_CELL_SIMID;
  }
  std::lock_guard<std::mutex> hold(m_InfoLock);
  m_sPhoneNumber = GLOBAL_CELL_PHONENUMBER;
  m_CurrentBands = GLOBAL_CELL_CURRENTBANDS;
  return 0;
}

int CellularModem::GetdBusDynamicInfo() {
  if (!m_pBus->Connect()) return -1;
  LogUtcTime();
  m_pBus->Query(GLOBAL_CELL_MODEMPATH, kSignalInterface, &on_dbus_signal_proxy_available);
  const std::string rssi =
      RssiText(GLOBAL_CELL_SIGNALQUALITY_RECENT, GLOBAL_RSSI, GLOBAL_CELL_SIGNALQUALITY);
  m_pBus->Query(GLOBAL_CELL_MODEMPATH, kModem3gppInterface, &on_dbus_3gpp_proxy_available);
  const int32_t operatorCode = OperatorCodeNumber(GLOBAL_OPERATORCODE);

  std::string bandType;
  const char* accessType = AccessTechnologyType(GLOBAL_CELL_ACCESSTECHNOLOGIES);
  if (accessType != nullptr) {
    bandType = accessType;
  } else {
    GetCurrentBandType(bandType);
  }
  const Registration registration = RegistrationFor(GLOBAL_REG_STATE);

  std::lock_guard<std::mutex> hold(m_InfoLock);
  m_sRSSI = rssi;
  m_OperatorCode = operatorCode;
  m_ModemState = GLOBAL_MODEM_STATE;
  m_RegState = static_cast<int32_t>(GLOBAL_REG_STATE);
  m_SimSubState = static_cast<int32_t>(GLOBAL_SIM_SUB_STATE);
  m_sModemError = ModemErrorText(GLOBAL_MODEM_ERROR);
  m_sRegState = registration.text;
  m_bRegistered = registration.registered;
  m_bRoaming = registration.roaming;
  m_sNetworkType = registration.registered ? bandType : std::string();
  return 0;
}
