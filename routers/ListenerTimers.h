// ListenerTimers: the silence and address-refresh timers of a router
// listener, in whole seconds of uptime. Owner thread only.
//
// Idle at start and after more than kListenerSilenceSeconds (30 s) without a
// datagram taken into account: the next datagram then only refreshes the own address list. A
// deadline d expires at the first reading strictly greater than d.
#ifndef WANVOX_ROUTERS_LISTENERTIMERS_H_
#define WANVOX_ROUTERS_LISTENERTIMERS_H_

#include <cstdint>

class ListenerTimers {
 public:
  // Idle, as if the last datagram came kListenerSilenceSeconds before |now|.
  void Start(int32_t now);

  // Notes a datagram taken into account at |now|. Returns true when it is
  // the first since the listener fell idle: it only refreshes the address
  // list and is not parsed.
  bool Heard(int32_t now);

  // True when more than kListenerSilenceSeconds passed since the last datagram taken into
  // account; the next one is then the first after idle.
  bool Silent(int32_t now);

  // True, and re-armed for kAddressRefreshSeconds later, when the address list is
  // due for its periodic refresh.
  bool RefreshDue(int32_t now);

 private:
  int32_t lastRx = 0;
  int32_t nextRefresh = 0;
  bool firstAfterIdle = true;
};

#endif  // WANVOX_ROUTERS_LISTENERTIMERS_H_
