#include "routers/UDPHandlerBEP.h"

#include "core/HandlerArgs.h"
#include "core/base/Clock.h"
#include "routers/BEPListener.h"
#include "routers/RouterListener.h"

void* UDPHandlerBEP(void* args) {
  __handler_args* handlerArgs = static_cast<__handler_args*>(args);
  RouterListener<BEPListener> listener(
      BEPListener(*handlerArgs->bep, handlerArgs->bepActive, handlerArgs->eventActive),
      Clock::System());
  listener.Start();
  listener.Run();
  return nullptr;
}
