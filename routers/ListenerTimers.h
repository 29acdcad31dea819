// ListenerTimers: the silence and address-refresh timers of a router
// listener, in whole seconds of uptime, and the flag that tells the other
// threads whether its kind of router is heard. Owner thread only; the flag
// is written here alone and read by the others.
//
// Idle at start and after more than kListenerSilenceSeconds without a
// datagram taken into account: the next datagram then only refreshes the own
// address list, and the flag is down. A deadline d expires at the first
// reading strictly greater than d.
#ifndef WANVOX_ROUTERS_LISTENERTIMERS_H_
#define WANVOX_ROUTERS_LISTENERTIMERS_H_

#include <atomic>
#include <cstdint>

class ListenerTimers {
 public:
  // |heard| (bepActive or eventActive) must outlive the timers.
  explicit ListenerTimers(std::atomic<bool>* heard);

  // Idle, as if the last datagram came kListenerSilenceSeconds before |now|.
  void Start(int32_t now);

  // Notes a datagram taken into account at |now|. Returns true when it is
  // the first since the listener fell idle: it only refreshes the address
  // list and is not parsed.
  bool Heard(int32_t now);

  // A message was accepted: raises the flag.
  void Accepted() { *m_pHeard = true; }

  // After more than kListenerSilenceSeconds of silence: idle, flag down.
  // Returns true, and re-arms it kAddressRefreshSeconds later, when the
  // address list is due for its periodic refresh.
  bool Tick(int32_t now);

  // The uptime Tick next has something to do after: the address refresh,
  // or falling silent unless already idle. Clock::kNoDeadline: never.
  int32_t NextDeadline() const;

 private:
  std::atomic<bool>* m_pHeard;
  int32_t lastRx = 0;
  int32_t nextRefresh = 0;
  bool firstAfterIdle = true;
};

#endif  // WANVOX_ROUTERS_LISTENERTIMERS_H_
