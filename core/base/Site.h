// The gateway's site facts: where the daemon listens, broadcasts, publishes
// and keeps its files, and the device names it knows. Constants only; any
// thread. Directories are written without a trailing slash; PathIn joins.
#ifndef WANVOX_CORE_BASE_SITE_H_
#define WANVOX_CORE_BASE_SITE_H_

#include <string>

// The LAN: every broadcast goes to this address, on the port of its kind.
constexpr char kBroadcastAddress[] = "10.0.0.255";
constexpr int kBEPPort = 45454;    // BEP reports: heard, forwarded, the modem's own
constexpr int kEventPort = 45456;  // event messages: heard and forwarded

// The local service Quarn.
constexpr char kQuarnHost[] = "localhost";
constexpr int kQuarnPort = 9090;

// Log files, one per logger, named after it.
constexpr char kLogDirectory[] = "/var/log";
constexpr char kDaemonLog[] = "wanvox";
constexpr char kModemLog[] = "modem";
constexpr char kModemErrorLog[] = "modem-errors";

// The daemon's settings file.
constexpr char kDaemonSettingsDirectory[] = "/etc/ostrel/quarn";
constexpr char kDaemonSettingsFile[] = "wanvox.conf";

// The cellular settings file and the identity files, which the gateway's
// other services read too.
constexpr char kCellularDirectory[] = "/etc/ostrel/cell";
constexpr char kCellularSettingsFile[] = "cellular.conf";
constexpr char kImeiFile[] = "IMEI";
constexpr char kSimIdFile[] = "SIMID";         // SIM slot A
constexpr char kSimIdSlotBFile[] = "SIMID_B";  // SIM slot B

// The name an event router is published under, and the APN and SIM
// identifier of every router's record: routers do not report them.
constexpr char kEventRouterModel[] = "GX450-Sierra";
constexpr char kUnavailable[] = "Unavailable";

// The BT-xxxx models that report themselves as plotnode 1 devices.
constexpr const char* kPlotnode1Models[] = {"BT-5600v2", "BT-5630v2", "BT-5800v2",
                                            "BT-5830v2"};

// The modems that the ModemManager walk prefers over any other object.
constexpr const char* kKnownModemModels[] = {"LE910-SVG", "LE910-EUG", "LE910-EU V2",
                                             "HE910",     "EM7565",    "EM7511"};

// "<directory>/<name>".
inline std::string PathIn(const char* directory, const char* name) {
  return std::string(directory) + "/" + name;
}

#endif  // WANVOX_CORE_BASE_SITE_H_
