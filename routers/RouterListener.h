// RouterListener: the receive / decide / act loop of a router listener
// thread, one for both kinds of router. The kind (BEPListener or
// EventListener) decides what a datagram is worth; this class owns the
// sockets and the Quarn client (RouterLink) and does what was decided.
// Owner thread only.
//
// A kind provides:
//   void Start(int32_t now);               idle, as at start
//   ListenerVerdict Consider(unsigned char* buf, int n, int32_t now);
//   bool Tick(int32_t now);                true: the own addresses are due
//   int32_t NextDeadline();                the uptime Tick next acts after
//   quarn::stCellularInfo BuildRecord();   the record to publish
//   static void MarkForward(unsigned char* datagram);
//   kPort, kHandlerLine                    its port; the line logged before
//                                          each publication
#ifndef WANVOX_ROUTERS_ROUTERLISTENER_H_
#define WANVOX_ROUTERS_ROUTERLISTENER_H_

#include <cstdint>
#include <string>
#include <utility>

#include "core/base/Clock.h"
#include "core/base/Globals.h"
#include "core/base/Site.h"
#include "routers/ListenerVerdict.h"
#include "routers/RouterLink.h"

template <typename Kind>
class RouterListener {
 public:
  // |clock| must outlive the listener. Builds the endpoint and the Quarn
  // client; opens nothing.
  RouterListener(Kind kind, Clock& clock, const std::string& quarnHost = kQuarnHost,
                 int quarnPort = kQuarnPort)
      : m_Kind(std::move(kind)), m_Clock(clock), m_Link(clock, quarnHost, quarnPort) {}

  // Binds |address|:|port| (null address: every local address), aims the
  // forwarded copies at |broadcastAddress|:|port| and starts idle.
  void Start(const char* address = nullptr, int port = Kind::kPort,
             const char* broadcastAddress = kBroadcastAddress) {
    m_Link.Open(address, port, broadcastAddress);
    m_Clock.Uptime(&m_Now);
    m_Kind.Start(m_Now);
  }

  // Runs passes until bExitApp is set, then closes both sockets.
  void Run() {
    while (!bExitApp) RunPass();
    m_Link.Close();
  }

  // One pass: wait for a datagram, the kind's next deadline or the exit
  // request, read the uptime (the last reading stays when this one fails),
  // act on the verdict, run the timers.
  void RunPass() {
    int n = m_Link.Receive(m_Kind.NextDeadline());
    m_Clock.Uptime(&m_Now);
    Act(m_Kind.Consider(m_Link.buffer(), n, m_Now), n);
    if (m_Kind.Tick(m_Now)) m_Link.RefreshAddresses();
  }

 private:
  // A forwarded copy goes out after the publication, whether that
  // succeeded or not.
  void Act(ListenerVerdict verdict, int n) {
    switch (verdict) {
      case ListenerVerdict::kRefreshOnly:
        m_Link.RefreshAddresses();
        break;
      case ListenerVerdict::kPublish:
        m_Link.Publish(m_Kind.BuildRecord(), Kind::kHandlerLine);
        break;
      case ListenerVerdict::kPublishAndForward:
        m_Link.Publish(m_Kind.BuildRecord(), Kind::kHandlerLine);
        Kind::MarkForward(m_Link.buffer());
        m_Link.Forward(n);
        break;
      default:
        break;
    }
  }

  Kind m_Kind;
  Clock& m_Clock;
  RouterLink m_Link;
  int32_t m_Now = 0;  // last uptime reading
};

#endif  // WANVOX_ROUTERS_ROUTERLISTENER_H_
