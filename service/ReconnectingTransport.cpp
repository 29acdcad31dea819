// Tested by tests/service_test.cpp.
#include "service/ReconnectingTransport.h"

ReconnectingTransport::ReconnectingTransport(
    std::shared_ptr<apache::thrift::transport::TTransport> socket,
    std::shared_ptr<apache::thrift::TConfiguration> config)
    : TBufferedTransport(std::move(socket), DEFAULT_BUFFER_SIZE, DEFAULT_BUFFER_SIZE,
                         std::move(config)) {}

void ReconnectingTransport::open() {
  // The library's open() does nothing on an open socket: after the service
  // had dropped one connection, every later call would go to the dead socket.
  drop();
  // Thrift counts every string read through the buffer (each answer's method
  // name, at least) against the message size and never resets the count on
  // this transport: a link kept for months would fail every call for good
  // after some 8.7 million answers ("MaxMessageSize reached").
  resetConsumedMessageSize();
  transport_->open();
}

void ReconnectingTransport::drop() {
  if (transport_->isOpen()) transport_->close();
  initPointers();
}
