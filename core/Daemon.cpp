#include "core/Daemon.h"

#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/CaughtSignals.h"
#include "core/StatusPublisher.h"
#include "core/WorkerThreads.h"
#include "core/base/Clock.h"
#include "core/base/Globals.h"
#include "core/base/SettingsFile.h"
#include "core/base/Site.h"
#include "core/base/Wake.h"
#include "hotplug/uDev.h"
#include "modem/CellularModem.h"
#include "routers/BEPMessage.h"
#include "routers/EventMessage.h"
#include "routers/UDP.h"
#include "service/InterruptibleSocket.h"
#include "service/QuarnLink.h"

namespace {

// Sets bExitApp and wakes the threads that wait for it (RequestExit). Also
// ends any Quarn call that is waiting for an answer, so that a service which
// never answers cannot hold up the shutdown.
void signal_handler(int sig) {
  CaughtSignals::Record(sig);
  Wake::RequestExit();
  InterruptibleSocket::InterruptAll();
}

}  // namespace

Daemon::Daemon()
    : m_pBEP(new BEPMessage(debug)),
      m_pEvent(new EventMessage(debug)),
      m_pModem(new CellularModem()),
      m_pUdev(new uDev()),
      m_BEPThread(),
      m_EventThread(),
      m_UdevThread(),
      m_ModemThread() {
  m_Args.udev = m_pUdev.get();
  m_Args.modem = m_pModem.get();
  m_Args.bep = m_pBEP.get();
  m_Args.event = m_pEvent.get();
  memset(&m_Cfg, 0, sizeof(m_Cfg));
}

Daemon::~Daemon() {
  m_pQuarn.reset();
  m_pBroadcast.reset();
  m_pUdev.reset();
  m_pModem.reset();
  m_pEvent.reset();
  m_pBEP.reset();
}

int Daemon::Run() {
  const Clock& clock = Clock::System();
  EnsureSettingsFile();
  int32_t t0 = 0;
  clock.Uptime(&t0);
  ScheduleSettingsCheck(&m_Cfg, t0);
  InstallSignalHandlers();

  m_pBroadcast.reset(new UDP(Clock::System(), &m_ExitWake));
  m_pBroadcast->connect_broadcast(kBroadcastAddress, kBEPPort);
  QuarnLink::SilenceLibraryOutput();
  m_pQuarn.reset(new QuarnLink());
  QuarnLink* quarn = m_pQuarn.get();
  UDP* broadcast = m_pBroadcast.get();
  StatusPublisher::Outputs outputs;
  outputs.status = [quarn](const quarn::stCellularInfo& info, const char* line) {
    return quarn->SetModemInfo(info, line);
  };
  outputs.summary = [quarn](const quarn::stModemInfo& info) { return quarn->TEL_SendMDM(info); };
  outputs.broadcast = [broadcast](unsigned char* data, int length) {
    return broadcast->send_data_broadcast(data, length);
  };
  StatusPublisher publisher(&m_Args, &m_Cfg, clock, m_ExitWake, outputs);
  int32_t t1 = t0;
  clock.Uptime(&t1);
  publisher.SetFirstDeadlines(t1);

  StartWorkers();
  publisher.Run();
  StopWorkers();
  return 0;
}

void Daemon::EnsureSettingsFile() {
  MakeDirectory(kDaemonSettingsDirectory);
  if (LoadConfigFromDisk(&m_Cfg) != 0) {
    std::string text = DefaultDaemonSettings();
    WriteConfigToDisk(&text[0], static_cast<unsigned int>(text.size()));
  }
}

void Daemon::InstallSignalHandlers() {
  signal(SIGINT, signal_handler);
  signal(SIGTERM, signal_handler);
  signal(SIGPIPE, SIG_IGN);
  // Stray signals from an operator's shell or a careless script must not end
  // the daemon without its orderly shutdown; there is nothing to reload.
  signal(SIGHUP, SIG_IGN);
  signal(SIGUSR1, SIG_IGN);
  signal(SIGUSR2, SIG_IGN);
}

void Daemon::StartWorkers() {
  StartWorker(&m_BEPThread, UDPHandlerBEP, &m_Args, "plotnode-mon");
  StartWorker(&m_EventThread, UDPHandlerEVENT, &m_Args, "plotnode2-mon");
  StartWorker(&m_UdevThread, uDevHandler, &m_Args, "wanvox-udevmon");
  StartWorker(&m_ModemThread, cellularHandler, m_pModem.get(), "cellular-mon");
}

void Daemon::StartWorker(pthread_t* thread, void* (*entry)(void*), void* arg,
                         const char* name) {
  int rc = pthread_create(thread, nullptr, entry, arg);
  if (rc != 0) {
    logger->printf(3, "Error - pthread_create() return code: %d\n", rc);
    exit(1);
  }
  pthread_setname_np(*thread, name);
}

// A signal caught while stopping is logged between the steps; it does not
// interrupt them.
void Daemon::StopWorkers() {
  m_pBroadcast->disconnect_broadcast();
  pthread_join(m_EventThread, nullptr);
  pthread_join(m_BEPThread, nullptr);
  CaughtSignals::LogPending(logger);
  m_pUdev->finish();
  m_pModem->RequestStop();
  pthread_join(m_UdevThread, nullptr);
  pthread_join(m_ModemThread, nullptr);
  CaughtSignals::LogPending(logger);
}
