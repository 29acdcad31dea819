// Wake: one thread's doorbell, an eventfd among the descriptors its waits
// watch (Clock::WaitUntil, Clock::Pause). Ring(): any thread, also a signal
// handler. Drain(): the owner thread, after a wait. A ring before the wait
// starts is kept, so a flag set before ringing is never missed.
//
// A Wake built with kExitRequest is also rung by RequestExit(). Its owner
// never drains it: the exit is final, so every wait after it (a nested one
// too, such as the pause after a failed broadcast inside a publisher pass)
// must end at once. Those Wakes are taken from a fixed pool whose
// descriptors stay open for the process's life, so that the signal handler
// never writes to a descriptor that was closed and reused meanwhile.
#ifndef WANVOX_CORE_BASE_WAKE_H_
#define WANVOX_CORE_BASE_WAKE_H_

class Wake {
 public:
  struct ExitRequest {};
  static constexpr ExitRequest kExitRequest{};

  Wake();
  explicit Wake(ExitRequest);
  ~Wake();

  Wake(const Wake&) = delete;
  Wake& operator=(const Wake&) = delete;

  int fd() const { return m_Fd; }
  void Ring() const;   // async-signal-safe
  void Drain() const;  // consumes every ring so far

  // Sets bExitApp, then rings every Wake built with kExitRequest.
  // Async-signal-safe.
  static void RequestExit();

 private:
  int m_Fd;
  int m_Slot;  // in the exit pool, or -1
};

#endif  // WANVOX_CORE_BASE_WAKE_H_
