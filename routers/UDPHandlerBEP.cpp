#include "routers/UDPHandlerBEP.h"

#include "core/HandlerArgs.h"
#include "core/base/Clock.h"
#include "routers/BEPListener.h"

void* UDPHandlerBEP(void* args) {
  BEPListener listener(static_cast<__handler_args*>(args), Clock::System());
  listener.Start();
  listener.Run();
  return nullptr;
}
