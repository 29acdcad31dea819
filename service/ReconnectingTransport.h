// ReconnectingTransport: the Quarn client's buffered transport (512/512), on
// which every publication starts a new connection and a failed one ends its
// connection at once. Only the thread that owns the QuarnLink calls it.
#ifndef WANVOX_SERVICE_RECONNECTINGTRANSPORT_H_
#define WANVOX_SERVICE_RECONNECTINGTRANSPORT_H_

#include <memory>

#include <thrift/TConfiguration.h>
#include <thrift/transport/TBufferTransports.h>

class ReconnectingTransport : public apache::thrift::transport::TBufferedTransport {
 public:
  // |config| null: Thrift's defaults (a 100 MiB message size).
  explicit ReconnectingTransport(
      std::shared_ptr<apache::thrift::transport::TTransport> socket,
      std::shared_ptr<apache::thrift::TConfiguration> config = nullptr);

  // Drops what a failed call left behind, starts a fresh count of the bytes
  // read against the message size, then connects.
  void open() override;

  // Closes the connection at once, without flushing, and forgets every
  // buffered byte. Safe on a transport that is not open.
  void drop();
};

#endif  // WANVOX_SERVICE_RECONNECTINGTRANSPORT_H_
