#include "core/WorkerThreads.h"

#include <utility>

#include "core/HandlerArgs.h"
#include "core/base/Clock.h"
#include "core/base/Globals.h"
#include "hotplug/uDev.h"
#include "modem/CellularModem.h"
#include "routers/BEPListener.h"
#include "routers/EventListener.h"
#include "routers/RouterListener.h"

namespace {

// A router listener of |kind| on the system clock, until bExitApp is set.
template <typename Kind>
void* Listen(Kind kind) {
  RouterListener<Kind> listener(std::move(kind), Clock::System());
  listener.Start();
  listener.Run();
  return nullptr;
}

}  // namespace

void* UDPHandlerBEP(void* args) {
  __handler_args* handlerArgs = static_cast<__handler_args*>(args);
  return Listen(BEPListener(*handlerArgs->bep, handlerArgs->bepActive, handlerArgs->eventActive));
}

void* UDPHandlerEVENT(void* args) {
  __handler_args* handlerArgs = static_cast<__handler_args*>(args);
  return Listen(EventListener(*handlerArgs->event, handlerArgs->eventActive));
}

void* uDevHandler(void* args) {
  __handler_args* handlerArgs = static_cast<__handler_args*>(args);
  handlerArgs->udev->Scan(debug, handlerArgs->modem);
  handlerArgs->udev->Monitor(debug, handlerArgs->modem);
  return nullptr;
}

void* cellularHandler(void* modem) {
  static_cast<CellularModem*>(modem)->run();
  return nullptr;
}
