#include "core/base/Wake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "core/base/Globals.h"

namespace {

// The daemon's publisher and both listeners watch the exit request; tests
// build a few more at a time.
constexpr int kExitSlots = 16;
std::atomic<int> g_ExitFdsPlusOne[kExitSlots] = {};  // 0: not made yet
std::atomic<bool> g_ExitTaken[kExitSlots] = {};

int NewEventFd() { return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

}  // namespace

Wake::Wake() : m_Fd(NewEventFd()), m_Slot(-1) {}

Wake::Wake(ExitRequest) : m_Fd(-1), m_Slot(-1) {
  for (int slot = 0; slot < kExitSlots; ++slot) {
    bool expected = false;
    if (!g_ExitTaken[slot].compare_exchange_strong(expected, true)) continue;
    if (g_ExitFdsPlusOne[slot] == 0) g_ExitFdsPlusOne[slot] = NewEventFd() + 1;
    m_Slot = slot;
    m_Fd = g_ExitFdsPlusOne[slot] - 1;
    Drain();  // rings meant for an earlier owner
    return;
  }
  abort();  // more watchers than the pool holds: a programming error
}

Wake::~Wake() {
  if (m_Slot >= 0) {
    g_ExitTaken[m_Slot] = false;
  } else if (m_Fd >= 0) {
    close(m_Fd);
  }
}

void Wake::Ring() const {
  const uint64_t one = 1;
  ssize_t ignored = write(m_Fd, &one, sizeof(one));
  (void)ignored;
}

void Wake::Drain() const {
  uint64_t count;
  ssize_t ignored = read(m_Fd, &count, sizeof(count));
  (void)ignored;
}

void Wake::RequestExit() {
  bExitApp = true;
  const uint64_t one = 1;
  for (int slot = 0; slot < kExitSlots; ++slot) {
    const int fd = g_ExitFdsPlusOne[slot] - 1;
    if (fd < 0) continue;
    ssize_t ignored = write(fd, &one, sizeof(one));
    (void)ignored;
  }
}
