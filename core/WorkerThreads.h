// Entry points of the four worker threads, which main starts in this order:
// "plotnode-mon", "plotnode2-mon", "wanvox-udevmon", "cellular-mon". Each
// takes one untyped pointer and returns null. They unpack main's wiring
// here, so that the layers below see only what each of them uses.
#ifndef WANVOX_CORE_WORKERTHREADS_H_
#define WANVOX_CORE_WORKERTHREADS_H_

// |args| is main's __handler_args. Listens for BEP routers on port 45454
// until bExitApp is set, then closes its sockets.
void* UDPHandlerBEP(void* args);

// |args| is main's __handler_args. Listens for event routers on port 45456
// until bExitApp is set, then closes its sockets.
void* UDPHandlerEVENT(void* args);

// |args| is main's __handler_args; returns after uDev::finish().
void* uDevHandler(void* args);

// |modem| is the CellularModem; returns once its stop request is seen.
void* cellularHandler(void* modem);

#endif  // WANVOX_CORE_WORKERTHREADS_H_
