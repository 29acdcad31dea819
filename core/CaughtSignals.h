// CaughtSignals: hands caught signal numbers from signal context to a thread
// that may log them. Record() is async-signal-safe (lock-free atomics only);
// LogPending() runs on the main thread, because logging from the handler
// could interrupt another printf on the same logger and deadlock on its lock.
#ifndef WANVOX_CORE_CAUGHTSIGNALS_H_
#define WANVOX_CORE_CAUGHTSIGNALS_H_

#include <atomic>

#include "core/base/Log.h"

class CaughtSignals {
 public:
  // Notes one delivery of |sig|. Safe to call from a signal handler.
  static void Record(int sig);

  // Writes "Caught signal %d : " at priority 4 for each delivery recorded
  // since the last call, lowest signal number first.
  static void LogPending(Log* log);

 private:
  static const int kMaxSignal = 64;
  static std::atomic<unsigned> s_Caught[kMaxSignal + 1];  // by signal number
  static std::atomic<unsigned> s_Logged[kMaxSignal + 1];  // main thread only
};

#endif  // WANVOX_CORE_CAUGHTSIGNALS_H_
