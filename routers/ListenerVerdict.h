// ListenerVerdict: what a router listener does with the result of one
// receive. Listener threads only.
#ifndef WANVOX_ROUTERS_LISTENERVERDICT_H_
#define WANVOX_ROUTERS_LISTENERVERDICT_H_

enum class ListenerVerdict {
  kNothing,            // nothing received, or the datagram was not taken into account
  kRefreshOnly,        // first datagram after a silence: refresh the own addresses, drop it
  kRejected,           // the parser refused it
  kDropped,            // accepted but superseded: a relayed copy of a fresh direct message
  kPublish,            // publish the router's status, do not forward
  kPublishAndForward,  // publish, then rebroadcast once marked as forwarded
};

#endif  // WANVOX_ROUTERS_LISTENERVERDICT_H_
