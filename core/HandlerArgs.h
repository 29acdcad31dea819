// The record main hands to the two router listeners and the udev thread.
#ifndef WANVOX_CORE_HANDLERARGS_H_
#define WANVOX_CORE_HANDLERARGS_H_

#include <atomic>

#include "hotplug/uDev.h"
#include "modem/CellularModem.h"
#include "routers/BEPMessage.h"
#include "routers/EventMessage.h"

// The pointers are set before the threads start and never change.
struct __handler_args {
  uDev* udev = nullptr;
  CellularModem* modem = nullptr;
  BEPMessage* bep = nullptr;                 // main's BEP parser
  std::atomic<bool> bepActive{false};        // written by the BEP listener only
  EventMessage* event = nullptr;             // main's event parser
  std::atomic<bool> eventActive{false};      // written by the event listener only
};

#endif  // WANVOX_CORE_HANDLERARGS_H_
