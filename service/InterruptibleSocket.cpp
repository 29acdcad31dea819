#include "service/InterruptibleSocket.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <memory>

namespace {

// The write end of the pipe that every socket's reads also poll. It is made
// readable once and never drained, so the interruption lasts.
std::atomic<int> g_InterruptWriteEnd{-1};

std::shared_ptr<int> InterruptReadEnd() {
  static const std::shared_ptr<int> readEnd = [] {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return std::shared_ptr<int>();
    g_InterruptWriteEnd = ends[1];
    return std::make_shared<int>(ends[0]);
  }();
  return readEnd;
}

}  // namespace

InterruptibleSocket::InterruptibleSocket(const std::string& host, int port)
    : TSocket(host, port) {
  interruptListener_ = InterruptReadEnd();
}

void InterruptibleSocket::InterruptAll() {
  int writeEnd = g_InterruptWriteEnd.load();
  if (writeEnd < 0) return;
  ssize_t ignored = ::write(writeEnd, "!", 1);
  (void)ignored;
}
