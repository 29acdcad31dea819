#include "core/StatusPublisher.h"

#include <utility>

#include "core/CaughtSignals.h"
#include "core/StatusRecords.h"
#include "core/base/Globals.h"
#include "modem/CellularModem.h"
#include "routers/BEPMessage.h"

namespace {

const uint32_t kSettingsCheckSeconds = 15;
const uint32_t kBroadcastSeconds = 5;
const uint32_t kStatusSeconds = 5;
const uint32_t kFirstBroadcastSeconds = 5;
const uint32_t kFirstStatusSeconds = 10;
const unsigned int kPassMicroseconds = 250000;

}  // namespace

StatusPublisher::StatusPublisher(__handler_args* args, __cfg* cfg,
                                 const Clock& clock, Outputs outputs)
    : m_pArgs(args),
      m_pCfg(cfg),
      m_Clock(clock),
      m_Outputs(std::move(outputs)),
      m_Now(0),
      m_BroadcastDeadline(0),
      m_StatusDeadline(0),
      m_SummaryDeadline(0) {}

int32_t StatusPublisher::After(int32_t base, uint32_t seconds) const {
  int64_t deadline = static_cast<int64_t>(base) + seconds;
  return deadline > INT32_MAX ? INT32_MAX : static_cast<int32_t>(deadline);
}

void StatusPublisher::SetFirstDeadlines(int32_t t1) {
  // Until the loop reads the uptime itself, t1 is the best reading there is.
  m_Now = t1;
  m_BroadcastDeadline = After(t1, kFirstBroadcastSeconds);
  m_StatusDeadline = After(t1, kFirstStatusSeconds);
  m_SummaryDeadline = After(t1, m_pCfg->interval);
}

void StatusPublisher::Run() {
  while (!bExitApp) {
    CaughtSignals::LogPending(logger);
    RunPass();
    m_Clock.Sleep(kPassMicroseconds);
  }
  CaughtSignals::LogPending(logger);
}

void StatusPublisher::RunPass() {
  m_Clock.Uptime(&m_Now);
  if (Due(m_pCfg->nextCheck)) CheckSettings();
  if (Due(m_BroadcastDeadline)) Broadcast();
  if (Due(m_StatusDeadline)) PublishStatus();
  if (Due(m_SummaryDeadline) && m_pCfg->interval != 0) PublishSummary();
}

bool StatusPublisher::RouterHeard() const {
  return m_pArgs->bepActive || m_pArgs->eventActive;
}

void StatusPublisher::CheckSettings() {
  if (CheckConfigChanged(m_pCfg) < 0 && LoadConfigFromDisk(m_pCfg) == 0) {
    m_StatusDeadline = After(m_Now, kFirstStatusSeconds);
    m_SummaryDeadline = After(m_Now, m_pCfg->interval);
  }
  m_Clock.Uptime(&m_pCfg->lastCheck);
  m_pCfg->nextCheck = After(m_pCfg->lastCheck, kSettingsCheckSeconds);
}

void StatusPublisher::Broadcast() {
  CellularModem* modem = m_pArgs->modem;
  if (!RouterHeard() && modem->m_State == Running) {
    BEPMessage* own = modem->m_pBEPMessage;
    own->build_message();
    // outMessage has no other writer than build_message on this thread.
    m_Outputs.broadcast(own->outMessage.data(), static_cast<int>(own->outMessage.size()));
  }
  m_BroadcastDeadline = After(m_Now, kBroadcastSeconds);
}

void StatusPublisher::PublishStatus() {
  m_StatusDeadline = After(m_Now, kStatusSeconds);
  if (RouterHeard()) return;  // the listener that hears the router publishes
  CellularModem* modem = m_pArgs->modem;
  if (modem->m_bModemFound) {
    m_Outputs.status(BuildInternalRecord(*modem), "SetMDM Internal Handler\r\n");
  } else {
    m_Outputs.status(BuildNoModemRecord(), "SetMDM None Handler\r\n");
  }
}

void StatusPublisher::PublishSummary() {
  m_SummaryDeadline = After(m_Now, m_pCfg->interval);
  if (m_pArgs->bepActive) {
    m_Outputs.summary(BuildBEPSummary(*m_pArgs->bep));
  } else if (m_pArgs->eventActive) {
    m_Outputs.summary(BuildEventSummary(*m_pArgs->event));
  } else if (m_pArgs->modem->m_State == Running) {
    m_Outputs.summary(BuildInternalSummary(*m_pArgs->modem));
  }
}
