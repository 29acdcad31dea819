// Daemon: start-up, the status publisher and the ordered shutdown of the
// whole process. Main thread only.
#ifndef WANVOX_CORE_DAEMON_H_
#define WANVOX_CORE_DAEMON_H_

#include <pthread.h>

#include <memory>

#include "core/DaemonConfig.h"
#include "core/HandlerArgs.h"
#include "core/base/Wake.h"
#include "hotplug/uDev.h"
#include "modem/CellularModem.h"
#include "routers/BEPMessage.h"
#include "routers/EventMessage.h"
#include "routers/UDP.h"
#include "service/QuarnLink.h"

class Daemon {
 public:
  Daemon();
  ~Daemon();

  Daemon(const Daemon&) = delete;
  Daemon& operator=(const Daemon&) = delete;

  // Starts everything, publishes until bExitApp is set, then stops the
  // workers in order. Returns the exit status (0); a thread that cannot be
  // created ends the process with 1.
  int Run();

 private:
  void EnsureSettingsFile();
  void InstallSignalHandlers();
  void StartWorkers();
  void StartWorker(pthread_t* thread, void* (*entry)(void*), void* arg, const char* name);
  void StopWorkers();

  // The main thread's wake-up on the exit request: the publisher's waits
  // and its broadcast pause watch it.
  Wake m_ExitWake{Wake::kExitRequest};

  // Created in this order and released in reverse.
  std::unique_ptr<BEPMessage> m_pBEP;
  std::unique_ptr<EventMessage> m_pEvent;
  std::unique_ptr<CellularModem> m_pModem;
  std::unique_ptr<uDev> m_pUdev;
  __handler_args m_Args;
  __cfg m_Cfg;
  std::unique_ptr<UDP> m_pBroadcast;
  std::unique_ptr<QuarnLink> m_pQuarn;

  pthread_t m_BEPThread;
  pthread_t m_EventThread;
  pthread_t m_UdevThread;
  pthread_t m_ModemThread;
};

#endif  // WANVOX_CORE_DAEMON_H_
