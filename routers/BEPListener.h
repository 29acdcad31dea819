// BEPListener: what the BEP router listener ("plotnode-mon") decides, free of
// sockets; RouterListener<BEPListener> runs it. Listener thread only; it
// writes bepActive, reads eventActive and parses into the shared BEPMessage
// under that object's mutex.
//
// Each valid report of a BT-xxxx router on port 45454 is published with
// SetModemInfo at once, and rebroadcast once with the ACK flag set, so other
// gateways hear it as a forwarded copy. A report that already carries the
// ACK flag is published and never forwarded again, so a report crosses the
// local network at most twice.
#ifndef WANVOX_ROUTERS_BEPLISTENER_H_
#define WANVOX_ROUTERS_BEPLISTENER_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "routers/BEPMessage.h"
#include "routers/ListenerTimers.h"
#include "routers/ListenerVerdict.h"
#include "routers/RouterRecord.h"

class BEPListener {
 public:
  static const int kPort;
  static constexpr char kHandlerLine[] = "SetMDM BEP Handler\r\n";

  // While |eventActive| is set, BEP reports do not even count as heard.
  // The three objects must outlive the listener.
  BEPListener(BEPMessage& bep, std::atomic<bool>& bepActive,
              const std::atomic<bool>& eventActive);

  void Start(int32_t now) { m_Timers.Start(now); }
  bool Tick(int32_t now) { return m_Timers.Tick(now); }
  int32_t NextDeadline() const { return m_Timers.NextDeadline(); }

  // One receive result at uptime |now|; parses into the BEPMessage.
  ListenerVerdict Consider(unsigned char* buf, int n, int32_t now);

  // The status record of the latest report.
  quarn::stCellularInfo BuildRecord();

  static void MarkForward(unsigned char* datagram) { BEPMessage::MarkForwarded(datagram); }

 private:
  // eCellularDeviceTypes value for a report with the ACK flag |ack| from a
  // router that calls itself |model| (compared exactly).
  static int32_t DeviceType(bool ack, const std::string& model);

  BEPMessage* m_pBEP;
  const std::atomic<bool>* m_pEventActive;
  ListenerTimers m_Timers;  // raises and clears bepActive
};

#endif  // WANVOX_ROUTERS_BEPLISTENER_H_
