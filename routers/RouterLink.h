// RouterLink: the sockets and the publishing stack of one router listener:
// its UDP endpoint, its Quarn client, its receive buffer and its wake-up on
// the exit request. Owner thread only; nothing here is shared (the exit
// request rings the wake-up from the signal handler).
#ifndef WANVOX_ROUTERS_ROUTERLINK_H_
#define WANVOX_ROUTERS_ROUTERLINK_H_

#include <string>

#include "core/base/Clock.h"
#include "core/base/Wake.h"
#include "quarn_types.h"
#include "routers/UDP.h"
#include "service/QuarnLink.h"

class RouterLink {
 public:
  static const int kBufferSize = 1024;          // longer datagrams are cut

  // |clock| must outlive the link. Builds the Quarn client; connects nothing.
  RouterLink(Clock& clock, const std::string& quarnHost, int quarnPort);

  RouterLink(const RouterLink&) = delete;
  RouterLink& operator=(const RouterLink&) = delete;

  // Binds the receiving socket to |address| (null: every local address) and
  // |port|, opens the broadcast socket to |broadcastAddress|:|port| and
  // refreshes the own address list. A failure is reported by UDP; a
  // receiving socket that could not be bound is bound again at each
  // RefreshAddresses.
  void Open(const char* address, int port, const char* broadcastAddress);

  // Waits for one datagram into buffer(), until an uptime reading is past
  // |deadline| or the exit request. Returns its length, 0 when nothing
  // usable came, -1 on error. An unbound socket waits out the deadline (the
  // refresh that binds it again); a failing one pauses a second, so the
  // caller's loop never spins.
  int Receive(int32_t deadline);

  // Rebuilds the own address list, and retries the bind if it had failed.
  void RefreshAddresses();

  // SetModemInfo; |handlerLine| is logged first when debug > kDebugStatus. A Thrift
  // failure is logged by QuarnLink and gives -1.
  int Publish(const quarn::stCellularInfo& record, const char* handlerLine);

  // Broadcasts the first |n| bytes of buffer() and logs them (header when
  // debug > kDebugReceived, bytes when debug > kDebugDumps).
  void Forward(int n);

  // Closes both sockets.
  void Close();

  unsigned char* buffer() { return m_Buffer; }

 private:
  Clock& m_Clock;
  Wake m_ExitWake{Wake::kExitRequest};
  UDP m_Udp;
  QuarnLink m_Quarn;
  std::string m_sAddress;  // bind address, empty for every address
  bool m_bAnyAddress = true;
  int m_Port = 0;
  unsigned char m_Buffer[kBufferSize];
};

#endif  // WANVOX_ROUTERS_ROUTERLINK_H_
