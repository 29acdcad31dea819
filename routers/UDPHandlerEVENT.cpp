#include "routers/UDPHandlerEVENT.h"

#include "core/HandlerArgs.h"
#include "core/base/Clock.h"
#include "routers/EventListener.h"
#include "routers/RouterListener.h"

void* UDPHandlerEVENT(void* args) {
  __handler_args* handlerArgs = static_cast<__handler_args*>(args);
  RouterListener<EventListener> listener(
      EventListener(*handlerArgs->event, handlerArgs->eventActive), Clock::System());
  listener.Start();
  listener.Run();
  return nullptr;
}
