#include "core/CaughtSignals.h"

#include "core/base/Log.h"

std::atomic<unsigned> CaughtSignals::s_Caught[kMaxSignal + 1];
std::atomic<unsigned> CaughtSignals::s_Logged[kMaxSignal + 1];

void CaughtSignals::Record(int sig) {
  if (sig < 0 || sig > kMaxSignal) return;
  s_Caught[sig].fetch_add(1);
}

void CaughtSignals::LogPending(Log* log) {
  for (int sig = 0; sig <= kMaxSignal; ++sig) {
    unsigned caught = s_Caught[sig].load();
    for (unsigned n = s_Logged[sig].load(); n != caught; ++n) {
      log->printf(4, "Caught signal %d : ", sig);
    }
    s_Logged[sig].store(caught);
  }
}
