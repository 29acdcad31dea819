// EventListener: what the event router listener ("plotnode2-mon") decides,
// free of sockets; RouterListener<EventListener> runs it. Listener thread
// only; it writes eventActive and parses into the shared EventMessage under
// that object's mutex.
//
// Each accepted message of a GX450 router on port 45456 is published with
// SetModemInfo. A direct message is rebroadcast once with the relayed bit
// set; relayed copies are published only while no direct message has been
// accepted for 30 s, so a gateway that hears the router itself reports it
// as direct and ignores its neighbours' copies. The event router outranks
// BEP routers: bepActive changes nothing here.
#ifndef WANVOX_ROUTERS_EVENTLISTENER_H_
#define WANVOX_ROUTERS_EVENTLISTENER_H_

#include <atomic>
#include <cstdint>

#include "routers/EventMessage.h"
#include "routers/ListenerTimers.h"
#include "routers/ListenerVerdict.h"
#include "routers/RouterRecord.h"

class EventListener {
 public:
  static const int kPort;
  static constexpr char kHandlerLine[] = "SetMDM Event Handler\r\n";

  // Both objects must outlive the listener.
  EventListener(EventMessage& event, std::atomic<bool>& eventActive);

  // Idle at |now|, as if the last direct message came long enough before.
  void Start(int32_t now);
  bool Tick(int32_t now) { return m_Timers.Tick(now); }
  int32_t NextDeadline() const { return m_Timers.NextDeadline(); }

  // One receive result at uptime |now|; parses into the EventMessage and
  // applies the direct/relayed precedence.
  ListenerVerdict Consider(unsigned char* buf, int n, int32_t now);

  // The status record of the latest values.
  quarn::stCellularInfo BuildRecord();

  static void MarkForward(unsigned char* datagram) { EventMessage::MarkRelayed(datagram); }

 private:
  ListenerVerdict Precedence(int32_t now);

  EventMessage* m_pEvent;
  ListenerTimers m_Timers;    // raises and clears eventActive
  bool haveDirect = false;    // a direct message is the current source
  int32_t lastDirect = 0;     // uptime of the last accepted direct message
};

#endif  // WANVOX_ROUTERS_EVENTLISTENER_H_
