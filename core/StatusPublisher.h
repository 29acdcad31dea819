// StatusPublisher: the main thread's timed loop that reloads the settings,
// broadcasts the internal modem's BEP report and sends the status record and
// the modem summary to Quarn. Main thread only; it takes the modem's and the
// messages' locks one value at a time and never two at once. Between passes
// it sleeps until its earliest deadline or the exit request: nothing the
// other threads do needs a pass before a deadline.
#ifndef WANVOX_CORE_STATUSPUBLISHER_H_
#define WANVOX_CORE_STATUSPUBLISHER_H_

#include <cstdint>
#include <functional>

#include "core/DaemonConfig.h"
#include "core/HandlerArgs.h"
#include "core/base/Clock.h"
#include "core/base/Wake.h"
#include "quarn_types.h"

class StatusPublisher {
 public:
  // Where publications go. Each returns 0 when sent; failures are logged by
  // the sink itself.
  struct Outputs {
    // SetModemInfo; |handlerLine| is logged between open and call when debug > kDebugStatus.
    std::function<int(const quarn::stCellularInfo&, const char* handlerLine)> status;
    std::function<int(const quarn::stModemInfo&)> summary;  // TEL_SendMDM
    std::function<int(unsigned char* data, int length)> broadcast;
  };

  // |args|, |cfg| and |exitWake| (a Wake rung by the exit request) must
  // outlive the publisher.
  StatusPublisher(__handler_args* args, __cfg* cfg, const Clock& clock, const Wake& exitWake,
                  Outputs outputs);

  // Sets the broadcast, status and summary deadlines from the uptime |t1|.
  void SetFirstDeadlines(int32_t t1);

  // Runs passes until bExitApp is set, each when a task is due.
  void Run();

  // One pass without the exit check and the wait.
  void RunPass();

  // The earliest deadline of a task that can run, or Clock::kNoDeadline.
  int32_t NextDeadline() const;

  int32_t broadcast_deadline() const { return m_BroadcastDeadline; }
  int32_t status_deadline() const { return m_StatusDeadline; }
  int32_t summary_deadline() const { return m_SummaryDeadline; }

 private:
  bool Due(int32_t deadline) const { return deadline > 0 && m_Now > deadline; }

  void CheckSettings();
  void Broadcast();
  void PublishStatus();
  void PublishSummary();
  bool RouterHeard() const;

  __handler_args* m_pArgs;
  __cfg* m_pCfg;
  const Clock& m_Clock;
  const Wake& m_Wake;
  Outputs m_Outputs;

  int32_t m_Now;
  int32_t m_BroadcastDeadline;
  int32_t m_StatusDeadline;
  int32_t m_SummaryDeadline;
};

#endif  // WANVOX_CORE_STATUSPUBLISHER_H_
