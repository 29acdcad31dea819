// InterruptibleSocket: the Quarn client's TSocket, whose waits for an answer
// end when the daemon is told to stop. No time-outs are set on the socket, so
// a service that accepts a call and never answers would otherwise hold the
// calling thread, and with it the daemon's shutdown, for ever.
#ifndef WANVOX_SERVICE_INTERRUPTIBLESOCKET_H_
#define WANVOX_SERVICE_INTERRUPTIBLESOCKET_H_

#include <string>

#include <thrift/transport/TSocket.h>

class InterruptibleSocket : public apache::thrift::transport::TSocket {
 public:
  InterruptibleSocket(const std::string& host, int port);

  // Ends every wait of every InterruptibleSocket for good, now and later:
  // each read then throws TTransportException "Interrupted". Safe to call
  // from a signal handler; does nothing before the first socket was built.
  static void InterruptAll();
};

#endif  // WANVOX_SERVICE_INTERRUPTIBLESOCKET_H_
