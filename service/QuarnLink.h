// QuarnLink: the Quarn client stack of one publishing thread (main's status
// publisher or one router listener). Only the thread that built it calls it;
// no Thrift object is shared between threads.
#ifndef WANVOX_SERVICE_QUARNLINK_H_
#define WANVOX_SERVICE_QUARNLINK_H_

#include <memory>
#include <string>

#include "core/base/Site.h"
#include "quarn_types.h"

namespace quarn { class QuarnClient; }
class ReconnectingTransport;

class QuarnLink {
 public:
  // Builds TSocket(host, port) (interruptible by InterruptibleSocket::
  // InterruptAll) / TBufferedTransport (512/512, ReconnectingTransport) /
  // TBinaryProtocol (strict write, lenient read, answers checked, strings
  // and containers limited: ReplyCheckingProtocol) / QuarnClient. Connects
  // nothing: each publication opens its own connection.
  explicit QuarnLink(const std::string& host = kQuarnHost, int port = kQuarnPort);
  ~QuarnLink();

  // Stops the Thrift library from printing its own copy of every failure on
  // standard error; callers log failures themselves. Main thread, before
  // any QuarnLink is used.
  static void SilenceLibraryOutput();

  QuarnLink(const QuarnLink&) = delete;
  QuarnLink& operator=(const QuarnLink&) = delete;

  // open(); if |handlerLine| is not null and debug > kDebugStatus, log it through
  // logger at 6; SetModemInfo(info); close(). Returns 0 on success. On a
  // failure (any exception) closes the connection at once, so that nothing
  // more of a bad answer is read, logs "Error: <text>\n" through logger at 6
  // and returns -1. The service's answer value is ignored.
  int SetModemInfo(const quarn::stCellularInfo& info, const char* handlerLine);

  // open(); TEL_SendMDM(info); close(). Same results and log line as above.
  int TEL_SendMDM(const quarn::stModemInfo& info);

 private:
  std::shared_ptr<ReconnectingTransport> m_pTransport;
  std::unique_ptr<quarn::QuarnClient> m_pClient;
};

#endif  // WANVOX_SERVICE_QUARNLINK_H_
