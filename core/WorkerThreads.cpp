#include "core/WorkerThreads.h"

#include "core/HandlerArgs.h"
#include "core/base/Globals.h"
#include "hotplug/uDev.h"
#include "modem/CellularModem.h"

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
