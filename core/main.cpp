// wanvox: follows the gateway's cellular link (internal modem, BEP router or
// event router) and reports it to Quarn and to the gateway's LAN.
#include "core/CommandLine.h"
#include "core/Daemon.h"
#include "core/base/Globals.h"

int main(int argc, char** argv) {
  if (ScanCommandLine(argc, argv, &debug)) PrintHelp();
  Daemon daemon;
  return daemon.Run();
}
