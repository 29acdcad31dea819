// MonitorServer: a threaded Thrift server (buffered transport, binary
// protocol) that serves one processor on a host and port, on its own
// thread. Start and Stop from one controlling thread.
#ifndef WANVOX_TOOLS_QUARNMON_MONITORSERVER_H_
#define WANVOX_TOOLS_QUARNMON_MONITORSERVER_H_

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <thrift/TProcessor.h>
#include <thrift/server/TThreadedServer.h>

class MonitorServer {
 public:
  // Port 0 picks a free port; Start() tells which.
  MonitorServer(const std::string& host, int port,
                std::shared_ptr<apache::thrift::TProcessor> processor);
  ~MonitorServer();  // stops the server

  MonitorServer(const MonitorServer&) = delete;
  MonitorServer& operator=(const MonitorServer&) = delete;

  // Listens and starts serving. Returns the port it listens on, or -1 with
  // the reason in *error when it cannot listen.
  int Start(std::string* error);

  // Stops accepting, interrupts open connections and waits for the serving
  // thread. Does nothing when not started.
  void Stop();

  // Connections accepted since construction.
  int connections() const { return m_Connections->load(); }

 private:
  std::shared_ptr<apache::thrift::server::TThreadedServer> m_pServer;
  std::shared_ptr<std::atomic<int>> m_Connections;  // counted by the server's threads
  std::thread m_Thread;
};

#endif  // WANVOX_TOOLS_QUARNMON_MONITORSERVER_H_
