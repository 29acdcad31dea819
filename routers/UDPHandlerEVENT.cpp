#include "routers/UDPHandlerEVENT.h"

#include "core/HandlerArgs.h"
#include "core/base/Clock.h"
#include "routers/EventListener.h"

void* UDPHandlerEVENT(void* args) {
  EventListener listener(static_cast<__handler_args*>(args), Clock::System());
  listener.Start();
  listener.Run();
  return nullptr;
}
