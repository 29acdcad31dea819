// Entry points of the udev and modem threads (the router listeners' entries
// live with the listeners). Each takes one untyped pointer and returns null.
#ifndef WANVOX_CORE_WORKERTHREADS_H_
#define WANVOX_CORE_WORKERTHREADS_H_

// |args| is the __handler_args record; returns after uDev::finish().
void* uDevHandler(void* args);

// |modem| is the CellularModem; returns once its stop request is seen.
void* cellularHandler(void* modem);

#endif  // WANVOX_CORE_WORKERTHREADS_H_
