// Thread entry of the event router listener, started by main as "plotnode2-mon".
#ifndef WANVOX_ROUTERS_UDPHANDLEREVENT_H_
#define WANVOX_ROUTERS_UDPHANDLEREVENT_H_

// |args| is main's __handler_args. Listens on port 45456 until bExitApp is
// set, then closes its sockets and returns null.
void* UDPHandlerEVENT(void* args);

#endif  // WANVOX_ROUTERS_UDPHANDLEREVENT_H_
