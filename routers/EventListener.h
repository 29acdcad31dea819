// EventListener: the event router listener ("plotnode2-mon"). Its own thread
// only; it writes args->eventActive and parses into the shared args->event
// under that object's mutex.
//
// For each accepted message of a GX450 router on port 45456 it publishes the
// router's status with SetModemInfo. A direct message is rebroadcast once
// with the relayed bit set; relayed copies are published only while no
// direct message has been accepted for 30 s, so a gateway that hears the
// router itself reports it as direct and ignores its neighbours' copies.
#ifndef WANVOX_ROUTERS_EVENTLISTENER_H_
#define WANVOX_ROUTERS_EVENTLISTENER_H_

#include <cstdint>
#include <string>

#include "core/HandlerArgs.h"
#include "core/base/Clock.h"
#include "core/base/Site.h"
#include "quarn_types.h"
#include "routers/ListenerTimers.h"
#include "routers/ListenerVerdict.h"
#include "routers/RouterLink.h"

class EventListener {
 public:
  static const int kPort = kEventPort;

  // |args| and |clock| must outlive the listener. Builds the endpoint and
  // the Quarn client; opens nothing.
  EventListener(__handler_args* args, Clock& clock,
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
  // uptime |now| into account (parsing into args->event, raising
  // eventActive, applying the direct/relayed precedence); Tick() runs the
  // silence time-out (clearing eventActive) and tells whether the own
  // address list is due for its refresh.
  ListenerVerdict Consider(unsigned char* buf, int n, int32_t now);
  bool Tick(int32_t now);

  // The status record of args->event's latest values.
  quarn::stCellularInfo BuildRecord();

  RouterLink& link() { return m_Link; }

 private:
  ListenerVerdict Precedence(int32_t now);
  void Act(ListenerVerdict verdict, int n);

  __handler_args* m_pArgs;
  Clock& m_Clock;
  RouterLink m_Link;
  ListenerTimers m_Timers;
  int32_t m_Now = 0;          // last uptime reading; kept when a reading fails
  bool haveDirect = false;    // a direct message is the current source
  int32_t lastDirect = 0;     // uptime of the last accepted direct message
};

#endif  // WANVOX_ROUTERS_EVENTLISTENER_H_
