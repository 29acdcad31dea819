#include "service/QuarnLink.h"

#include <functional>

#include <exception>

#include <thrift/Thrift.h>
#include <thrift/transport/TBufferTransports.h>

#include "Quarn.h"
#include "core/base/Globals.h"
#include "service/InterruptibleSocket.h"
#include "service/ReplyCheckingProtocol.h"

// Tested by tests/service_test.cpp.

using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TTransport;

namespace {

// A buffered transport whose open() always starts a new connection.
// A failed call leaves the socket open (it is not closed on the failure
// path), and the library's open() does nothing on an open socket: after
// the service had dropped one connection, every later call would go to the
// dead socket and fail, even with the service back. So open() first closes
// what a failed call left behind and forgets any bytes still buffered.
class ReconnectingTransport : public TBufferedTransport {
 public:
  explicit ReconnectingTransport(std::shared_ptr<TTransport> socket)
      : TBufferedTransport(socket, DEFAULT_BUFFER_SIZE, DEFAULT_BUFFER_SIZE) {}

  void open() override {
    if (transport_->isOpen()) transport_->close();
    initPointers();
    transport_->open();
  }
};

// One publication: open, optional handler line, call, close. Returns 0, or
// -1 after logging the failure: a Thrift one, or any other a call can raise
// (a reply that claims a huge string can fail to allocate).
int PublishOnce(TTransport& transport, const char* handlerLine,
                const std::function<void()>& call) {
  try {
    transport.open();
    if (handlerLine != nullptr && debug > kDebugStatus) logger->printf(6, "%s", handlerLine);
    call();
    transport.close();
  } catch (const std::exception& e) {
    logger->printf(6, "Error: %s\n", e.what());
    return -1;
  }
  return 0;
}

}  // namespace

QuarnLink::QuarnLink(const std::string& host, int port) {
  auto socket = std::make_shared<InterruptibleSocket>(host, port);
  m_pTransport = std::make_shared<ReconnectingTransport>(socket);
  auto protocol = std::make_shared<ReplyCheckingProtocol>(m_pTransport);
  m_pClient = std::make_unique<quarn::QuarnClient>(protocol);
}

QuarnLink::~QuarnLink() = default;

void QuarnLink::SilenceLibraryOutput() {
  apache::thrift::GlobalOutput.setOutputFunction([](const char*) {});
}

int QuarnLink::SetModemInfo(const quarn::stCellularInfo& info, const char* handlerLine) {
  return PublishOnce(*m_pTransport, handlerLine, [&] { m_pClient->SetModemInfo(info); });
}

int QuarnLink::TEL_SendMDM(const quarn::stModemInfo& info) {
  return PublishOnce(*m_pTransport, nullptr, [&] { m_pClient->TEL_SendMDM(info); });
}
