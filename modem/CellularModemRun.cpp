// The run-state machine of the modem thread. One pass handles the state
// read at its start; a state the udev thread stores during a pass may be
// replaced by that pass's own transition. Between passes the thread waits
// for its next refresh deadline, a stop request, SetPath or RemovePath;
// every wait and uptime reading goes through m_Clock. Tested by
// tests/cellular_modem_test.cpp.
#include "modem/CellularModem.h"

#include <mutex>
#include <string>

#include "core/base/Globals.h"
#include "core/base/Schedules.h"
#include "core/base/SettingsFile.h"
#include "core/base/Site.h"
#include "routers/BEPMessage.h"

int CellularModem::run() {
  int32_t now = 0;
  while (!m_bStopped) {
    m_Clock.Uptime(&now);
    switch (m_State.load()) {
      case Attached: HandleAttached(); break;
      case Detected: m_State = Querying; break;
      case Querying: HandleQuerying(now); break;
      case Running: HandleRunning(&now); break;
      case Shutdown: HandleShutdown(); break;
      case Error: HandleError(); break;
      default: HandleIdle(); break;
    }
  }
  return 0;
}

void CellularModem::HandleAttached() {
  lgr->printf(6, "State: Modem Attached\r\n");
  LoadOrCreateConfig();
  LogModemType();
  m_State = Detected;
}

void CellularModem::LoadOrCreateConfig() {
  MakeDirectory(kCellularDirectory);
  if (LoadConfigFromDisk(&m_Config) < 0) {
    std::string document = DefaultCellularConfig();
    WriteConfigToDisk(&document[0], static_cast<unsigned int>(document.size()));
    LoadConfigFromDisk(&m_Config);
  }
}

void CellularModem::LogModemType() {
  switch (m_ModemType.load()) {
    case NimbelinkGemalto: lgr->printf(6, "Detected Modem: Nimbelink Gemalto\r\n"); break;
    case NimbelinkTelitLE910: lgr->printf(6, "Detected Modem: Nimbelink Telit LE910\r\n"); break;
    case NimbelinkTelitHE910: lgr->printf(6, "Detected Modem: Nimbelink Telit HE910\r\n"); break;
    case SierraEM7565:
    case SierraEM7565Alt: lgr->printf(6, "Detected Modem: Sierra EM7565\r\n"); break;
    case NimbelinkTelitLE910EUV2:
      lgr->printf(6, "Detected Modem: Nimbelink Telit LE910-EU V2\r\n");
      break;
    default: lgr->printf(6, "Detected Modem: Unknown\r\n"); break;
  }
}

void CellularModem::HandleQuerying(int32_t now) {
  m_bModemFound = true;
  if (m_Probes.identity() != 0) {
    if (m_bStopRequest) m_State = Shutdown;
    PauseUnlessStopped(kQueryRetryMicroseconds);
    return;
  }
  RecordIdentity();
  m_State = Running;
  lgr->printf(6, "State: Modem Running\r\n");
  m_Probes.radio();
  MirrorModel();
  m_RadioDeadline = now;
  m_IdentityDeadline = now + kModemRefreshSeconds;
}

void CellularModem::RecordIdentity() {
  std::string revision, simId, imei, phone;
  {
    std::lock_guard<std::mutex> hold(m_InfoLock);
    revision = m_sRevision;
    simId = m_sSimId;
    imei = m_sIMEI;
    phone = m_sPhoneNumber;
  }
  {
    std::lock_guard<std::mutex> hold(m_pBEPMessage->mutex);
    m_pBEPMessage->firmwareVersion = revision;
  }
  if (!simId.empty()) WriteSIMIDToDisk();
  if (!imei.empty()) {
    MirrorImei(imei);
    WriteIMEIToDisk();
  }
  std::lock_guard<std::mutex> hold(m_pBEPMessage->mutex);
  if (!phone.empty()) m_pBEPMessage->Phone = phone;
  m_pBEPMessage->app = 1;
  m_pBEPMessage->ver = 1;
}

void CellularModem::HandleRunning(int32_t* now) {
  m_Clock.Uptime(now);
  if (m_RadioDeadline > 0 && *now > m_RadioDeadline) {
    m_RadioDeadline = *now + kModemRefreshSeconds;
    m_Probes.radio();
    MirrorRadio(m_Probes.addresses() == 0);
  }
  bool lost = false;
  if (m_IdentityDeadline > 0 && *now > m_IdentityDeadline) {
    m_IdentityDeadline = *now + kModemRefreshSeconds;
    lost = m_Probes.identity() != 0;
    if (lost) {
      lgr->printf(6, "Error: Modem Lost\r\n");
      m_State = Error;
    } else {
      MirrorRssi();
    }
  }
  // A lost modem has no refresh to wait for: its Error pass comes at the
  // next reading, a second on, as after any pass.
  WaitForWork(lost ? *now : Clock::Earliest({m_RadioDeadline, m_IdentityDeadline}));
  if (m_bStopRequest) m_State = Shutdown;
}

void CellularModem::HandleShutdown() {
  lgr->printf(6, "State: Modem Shutdown\r\n");
  m_bStopped = true;
  m_State = NoModem;
}

// A stop request only shortens the wait: the modem is attached once more
// before the stop is honoured.
void CellularModem::HandleError() {
  lgr->printf(6, "State: Modem Error %s\r\n", "");
  ResetInfo();
  PauseUnlessStopped(kErrorWaitMicroseconds);
  m_State = Attached;
}

void CellularModem::HandleIdle() {
  WaitForWork(Clock::kNoDeadline);
  if (m_bStopRequest) m_bStopped = true;
}

// A ring that came before the wait is still there, so the flags and the
// state read after it are never older than the ring.
void CellularModem::WaitForWork(int32_t deadline) {
  if (m_bStopRequest) return;
  m_Clock.WaitUntil(deadline, {m_StopWake.fd(), m_PathWake.fd()});
  m_StopWake.Drain();
  m_PathWake.Drain();
}

void CellularModem::PauseUnlessStopped(unsigned int microseconds) {
  if (m_bStopRequest) return;
  m_Clock.Pause(microseconds, {m_StopWake.fd()});
  m_StopWake.Drain();
}
