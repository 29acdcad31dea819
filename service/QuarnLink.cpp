#include "service/QuarnLink.h"

#include <exception>
#include <functional>

#include <thrift/Thrift.h>

#include "Quarn.h"
#include "core/base/Globals.h"
#include "service/InterruptibleSocket.h"
#include "service/ReconnectingTransport.h"
#include "service/ReplyCheckingProtocol.h"

// Tested by tests/service_test.cpp.

namespace {

// One publication: open, optional handler line, call, close. Returns 0, or
// -1 after dropping the connection and logging the failure: a Thrift one, or
// any other a call can raise.
int PublishOnce(ReconnectingTransport& transport, const char* handlerLine,
                const std::function<void()>& call) {
  try {
    transport.open();
    if (handlerLine != nullptr && debug > kDebugStatus) logger->printf(6, "%s", handlerLine);
    call();
    transport.close();
  } catch (const std::exception& e) {
    transport.drop();
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
