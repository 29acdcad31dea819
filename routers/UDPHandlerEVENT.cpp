#include "routers/UDPHandlerEVENT.h"

#include "core/Clock.h"
#include "core/HandlerArgs.h"
#include "routers/EventListener.h"

void* UDPHandlerEVENT(void* args) {
  EventListener listener(static_cast<__handler_args*>(args), Clock::System());
  listener.Start();
  listener.Run();
  return nullptr;
}
