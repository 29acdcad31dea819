#include "tools/quarnmon/MonitorServer.h"

#include <future>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TServerSocket.h>

using apache::thrift::TException;
using apache::thrift::protocol::TBinaryProtocolFactory;
using apache::thrift::protocol::TProtocol;
using apache::thrift::server::TServerEventHandler;
using apache::thrift::server::TThreadedServer;
using apache::thrift::transport::TBufferedTransportFactory;
using apache::thrift::transport::TServerSocket;

namespace {

// Reports the bound port (or why serving failed) once, and counts
// connections.
class ServerEvents : public TServerEventHandler {
 public:
  ServerEvents(std::shared_ptr<TServerSocket> socket,
               std::shared_ptr<std::atomic<int>> connections)
      : m_pSocket(std::move(socket)), m_Connections(std::move(connections)) {}

  std::future<int> Listening() { return m_Listening.get_future(); }

  void preServe() override {
    m_bReported = true;
    m_Listening.set_value(m_pSocket->getPort());
  }

  // serve() throws only when it cannot listen, before preServe().
  void Failed(std::exception_ptr error) {
    if (!m_bReported) m_Listening.set_exception(error);
  }

  void* createContext(std::shared_ptr<TProtocol>, std::shared_ptr<TProtocol>) override {
    ++*m_Connections;
    return nullptr;
  }

 private:
  std::shared_ptr<TServerSocket> m_pSocket;
  std::shared_ptr<std::atomic<int>> m_Connections;
  std::promise<int> m_Listening;
  bool m_bReported = false;  // serving thread only
};

}  // namespace

MonitorServer::MonitorServer(const std::string& host, int port,
                             std::shared_ptr<apache::thrift::TProcessor> processor)
    : m_Connections(std::make_shared<std::atomic<int>>(0)) {
  auto socket = std::make_shared<TServerSocket>(host, port);
  m_pServer = std::make_shared<TThreadedServer>(processor, socket,
                                                std::make_shared<TBufferedTransportFactory>(),
                                                std::make_shared<TBinaryProtocolFactory>());
}

MonitorServer::~MonitorServer() { Stop(); }

int MonitorServer::Start(std::string* error) {
  auto socket = std::static_pointer_cast<TServerSocket>(m_pServer->getServerTransport());
  auto events = std::make_shared<ServerEvents>(socket, m_Connections);
  std::future<int> port = events->Listening();
  m_pServer->setServerEventHandler(events);
  m_Thread = std::thread([this, events] {
    try {
      m_pServer->serve();
    } catch (const TException&) {
      events->Failed(std::current_exception());
    }
  });
  try {
    return port.get();
  } catch (const TException& e) {
    *error = e.what();
    m_Thread.join();
    return -1;
  }
}

void MonitorServer::Stop() {
  if (!m_Thread.joinable()) return;
  m_pServer->stop();
  m_Thread.join();
}
