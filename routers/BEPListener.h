// BEPListener: the BEP router listener ("plotnode-mon"). Its own thread only;
// it writes args->bepActive, reads args->eventActive and parses into the
// shared args->bep under that object's mutex.
//
// For each valid report of a BT-xxxx router on port 45454 it publishes the
// router's status with SetModemInfo at once, and rebroadcasts the report once
// with the ACK flag set, so other gateways hear it as a forwarded copy. A
// report that already carries the ACK flag is published and never forwarded
// again, so a report crosses the local network at most twice.
#ifndef WANVOX_ROUTERS_BEPLISTENER_H_
#define WANVOX_ROUTERS_BEPLISTENER_H_

#include <cstdint>
#include <string>

#include "core/HandlerArgs.h"
#include "core/base/Clock.h"
#include "core/base/Site.h"
#include "quarn_types.h"
#include "routers/ListenerTimers.h"
#include "routers/ListenerVerdict.h"
#include "routers/RouterLink.h"

class BEPListener {
 public:
  static const int kPort = kBEPPort;

  // |args| and |clock| must outlive the listener. Builds the endpoint and
  // the Quarn client; opens nothing.
  BEPListener(__handler_args* args, Clock& clock,
              const std::string& quarnHost = kQuarnHost, int quarnPort = kQuarnPort);

  // Binds |address|:|port| (null address: every local address), aims the
  // forwarded copies at |broadcastAddress|:|port| and starts idle.
  void Start(const char* address = nullptr, int port = kPort,
             const char* broadcastAddress = kBroadcastAddress);

  // Runs passes until bExitApp is set, then closes both sockets.
  void Run();

  // One pass: receive (at most about 1 s), read the uptime, act, run timers.
  void RunPass();

  // The decisions, free of sockets. Consider() takes one receive result at
  // uptime |now| into account (parsing into args->bep and raising bepActive
  // as needed); Tick() runs the silence time-out (clearing bepActive) and
  // tells whether the own address list is due for its refresh.
  ListenerVerdict Consider(unsigned char* buf, int n, int32_t now);
  bool Tick(int32_t now);

  // The status record of args->bep's latest report.
  quarn::stCellularInfo BuildRecord();

  // eCellularDeviceTypes value for a report with the ACK flag |ack| from a
  // router that calls itself |model| (compared exactly).
  static int32_t DeviceType(bool ack, const std::string& model);

  RouterLink& link() { return m_Link; }

 private:
  void Act(ListenerVerdict verdict, int n);

  __handler_args* m_pArgs;
  Clock& m_Clock;
  RouterLink m_Link;
  ListenerTimers m_Timers;
  int32_t m_Now = 0;  // last uptime reading; kept when a reading fails
};

#endif  // WANVOX_ROUTERS_BEPLISTENER_H_
