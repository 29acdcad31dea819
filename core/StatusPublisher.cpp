#include "core/StatusPublisher.h"

#include <utility>

#include "core/CaughtSignals.h"
#include "core/StatusRecords.h"
#include "core/base/Globals.h"
#include "core/base/Schedules.h"
#include "modem/CellularModem.h"
#include "routers/BEPMessage.h"

StatusPublisher::StatusPublisher(__handler_args* args, __cfg* cfg, const Clock& clock,
                                 const Wake& exitWake, Outputs outputs)
    : m_pArgs(args),
      m_pCfg(cfg),
      m_Clock(clock),
      m_Wake(exitWake),
      m_Outputs(std::move(outputs)),
      m_Now(0),
      m_BroadcastDeadline(0),
      m_StatusDeadline(0),
      m_SummaryDeadline(0) {}

void StatusPublisher::SetFirstDeadlines(int32_t t1) {
  // Until the loop reads the uptime itself, t1 is the best reading there is.
  m_Now = t1;
  m_BroadcastDeadline = Clock::After(t1, kFirstBroadcastSeconds);
  m_StatusDeadline = Clock::After(t1, kFirstStatusSeconds);
  m_SummaryDeadline = Clock::After(t1, m_pCfg->interval);
}

void StatusPublisher::Run() {
  while (!bExitApp) {
    CaughtSignals::LogPending(logger);
    RunPass();
    m_Clock.WaitUntil(NextDeadline(), {m_Wake.fd()});
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

// A summary deadline with the interval 0 never moves, so it must not count.
int32_t StatusPublisher::NextDeadline() const {
  return Clock::Earliest({m_pCfg->nextCheck, m_BroadcastDeadline, m_StatusDeadline,
                          m_pCfg->interval != 0 ? m_SummaryDeadline : 0});
}

bool StatusPublisher::RouterHeard() const {
  return m_pArgs->bepActive || m_pArgs->eventActive;
}

void StatusPublisher::CheckSettings() {
  if (CheckConfigChanged(m_pCfg) < 0 && LoadConfigFromDisk(m_pCfg) == 0) {
    m_StatusDeadline = Clock::After(m_Now, kFirstStatusSeconds);
    m_SummaryDeadline = Clock::After(m_Now, m_pCfg->interval);
  }
  int32_t checked = m_pCfg->lastCheck;  // kept when the reading fails
  m_Clock.Uptime(&checked);
  ScheduleSettingsCheck(m_pCfg, checked);
}

void StatusPublisher::Broadcast() {
  CellularModem* modem = m_pArgs->modem;
  if (!RouterHeard() && modem->m_State == Running) {
    BEPMessage* own = modem->m_pBEPMessage;
    own->build_message();
    // outMessage has no other writer than build_message on this thread.
    m_Outputs.broadcast(own->outMessage.data(), static_cast<int>(own->outMessage.size()));
  }
  m_BroadcastDeadline = Clock::After(m_Now, kBroadcastPeriodSeconds);
}

void StatusPublisher::PublishStatus() {
  m_StatusDeadline = Clock::After(m_Now, kStatusPeriodSeconds);
  if (RouterHeard()) return;  // the listener that hears the router publishes
  CellularModem* modem = m_pArgs->modem;
  if (modem->m_bModemFound) {
    m_Outputs.status(BuildInternalRecord(*modem), "SetMDM Internal Handler\r\n");
  } else {
    m_Outputs.status(BuildNoModemRecord(), "SetMDM None Handler\r\n");
  }
}

void StatusPublisher::PublishSummary() {
  m_SummaryDeadline = Clock::After(m_Now, m_pCfg->interval);
  if (m_pArgs->bepActive) {
    m_Outputs.summary(BuildBEPSummary(*m_pArgs->bep));
  } else if (m_pArgs->eventActive) {
    m_Outputs.summary(BuildEventSummary(*m_pArgs->event));
  } else if (m_pArgs->modem->m_State == Running) {
    m_Outputs.summary(BuildInternalSummary(*m_pArgs->modem));
  }
}
