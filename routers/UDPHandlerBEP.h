// Thread entry of the BEP router listener, started by main as "plotnode-mon".
#ifndef WANVOX_ROUTERS_UDPHANDLERBEP_H_
#define WANVOX_ROUTERS_UDPHANDLERBEP_H_

// |args| is main's __handler_args. Listens on port 45454 until bExitApp is
// set, then closes its sockets and returns null.
void* UDPHandlerBEP(void* args);

#endif  // WANVOX_ROUTERS_UDPHANDLERBEP_H_
