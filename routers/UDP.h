// UDP: the router links' endpoint. One owner thread; no lock.
//
// Two IPv4 datagram sockets: a receiving socket bound to a port, read once
// its owner's wait finds it readable, that drops datagrams sent from the
// gateway's own addresses (so a gateway never hears its own broadcasts), and
// a broadcast socket with one fixed destination. Each router listener owns one UDP and uses both; main
// owns a third and only broadcasts.
//
// Every operation returns 0 on success and -1 on failure unless noted, after
// writing its own message to standard output or standard error. The object
// never closes its sockets on destruction: the owner calls disconnect() and
// disconnect_broadcast() first.
#ifndef WANVOX_ROUTERS_UDP_H_
#define WANVOX_ROUTERS_UDP_H_

#include <netinet/in.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "core/base/Clock.h"
#include "core/base/Wake.h"

class UDP {
 public:
  static const size_t kAddressSize = 512;      // longest address text accepted

  // |clock| paces the pause after a failed broadcast, which the exit request
  // ends through |exitWake| (the owner thread's; none: it lasts). Both must
  // outlive the object.
  explicit UDP(Clock& clock = Clock::System(), const Wake* exitWake = nullptr);
  virtual ~UDP() = default;

  UDP(const UDP&) = delete;
  UDP& operator=(const UDP&) = delete;

  // Opens the receiving socket if it is closed and binds it to |address|
  // (dotted IPv4) and |port|. A null address binds every local address and
  // enables broadcast on the socket. On a failed bind the socket is closed.
  int connect(const char* address, int port);

  // Opens the broadcast socket (SO_BROADCAST, a send time-out of
  // kBroadcastSendTimeoutSeconds) with the destination |address|:|port|.
  int connect_broadcast(const char* address, int port);

  // Reads at most |capacity| bytes of the datagram waiting on the receiving
  // socket (a longer datagram is cut), without waiting: the owner waits for
  // fd() to be readable. Returns its length, 0 when nothing was waiting or
  // the datagram came from one of localAddresses, -1 on error.
  int receive_data(unsigned char* buf, int capacity);

  // Sends one datagram to the broadcast destination. On a short or failed
  // send: closes the broadcast socket, pauses kBroadcastRetryMicroseconds
  // (not at all once bExitApp is set), reopens it from the stored address
  // and port, and fails; the datagram is not sent again.
  int send_data_broadcast(unsigned char* data, int length);

  // Sends one datagram through the receiving socket to the sender of the
  // last datagram received.
  int send_data(unsigned char* data, int length);

  // Rebuilds localAddresses from the interfaces' IPv4 addresses; leaves it
  // empty when the interfaces cannot be listed.
  void refresh_local_addresses();

  // Close the receiving or the broadcast socket if it is open. Always 0.
  int disconnect();
  int disconnect_broadcast();

  bool connected() const { return sock >= 0; }
  int fd() const { return sock; }  // the receiving socket, -1 while closed
  bool broadcast_connected() const { return broadcastSock >= 0; }

  // The gateway's own IPv4 addresses in dotted form; datagrams from these are
  // dropped by receive_data.
  std::vector<std::string> localAddresses;

 private:
  bool IsLocalAddress(const char* dotted) const;

  Clock& m_Clock;
  const Wake* m_pExitWake;
  int sock;                           // receiving socket, -1 while closed
  char address[kAddressSize + 1];     // last address given to a connect call
  int port;                           // port given to connect
  struct sockaddr_in server;          // bound address, then last sender
  socklen_t serverLength;             // sizeof(server)
  int broadcastSock;                  // -1 while closed
  int broadcastPort;                  // port given to connect_broadcast
  struct sockaddr_in broadcastAddr;   // destination of send_data_broadcast
};

#endif  // WANVOX_ROUTERS_UDP_H_
