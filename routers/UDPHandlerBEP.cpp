#include "routers/UDPHandlerBEP.h"

#include "core/Clock.h"
#include "core/HandlerArgs.h"
#include "routers/BEPListener.h"

void* UDPHandlerBEP(void* args) {
  BEPListener listener(static_cast<__handler_args*>(args), Clock::System());
  listener.Start();
  listener.Run();
  return nullptr;
}
