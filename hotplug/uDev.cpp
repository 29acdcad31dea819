#include "hotplug/uDev.h"

#include <libudev.h>

#include <string>

#include "core/base/Globals.h"
#include "core/base/Schedules.h"
#include "modem/CellularModem.h"
#include "modem/ModemRunState.h"

// Scan and Monitor only gather devices from libudev; what a device means is
// decided on its TtyDevice copy (ScanDevice, HandleEvent).

namespace {

udev_monitor* OpenMonitor(udev* context) {
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  if (monitor == nullptr) return nullptr;
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor) < 0) {
    udev_monitor_unref(monitor);
    return nullptr;
  }
  return monitor;
}

}  // namespace

uDev::uDev(Clock& clock) : m_Clock(clock), m_bFinish(false) {}

uDev::~uDev() {}

void uDev::finish() {
  m_bFinish = true;
  m_FinishWake.Ring();
}

int uDev::Scan(uint8_t debug, CellularModem* modem) {
  udev* context = udev_new();
  if (context == nullptr) {
    logger->printf(3, "Can't create udev\n");
    return -3;
  }
  udev_enumerate* enumerate = udev_enumerate_new(context);
  udev_enumerate_add_match_subsystem(enumerate, "tty");
  udev_enumerate_scan_devices(enumerate);

  int announced = 0;
  udev_list_entry* entry;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
    udev_device* dev = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
    if (dev == nullptr) continue;
    if (ScanDevice(debug, TtyDevice::FromUdev(dev), modem)) ++announced;
    udev_device_unref(dev);
  }
  udev_enumerate_unref(enumerate);
  udev_unref(context);
  return announced;
}

int uDev::Monitor(uint8_t debug, CellularModem* modem) {
  int32_t now = 0;
  m_Clock.Uptime(&now);
  int32_t nextScan = now + kManualScanSeconds;

  udev* context = udev_new();
  if (context == nullptr) {
    logger->printf(3, "Can't create udev\n");
    return -3;
  }
  // Without a monitor the loop still runs, so the manual scans go on.
  udev_monitor* monitor = OpenMonitor(context);
  if (monitor == nullptr) logger->printf(3, "Can't create udev monitor\n");
  int fd = monitor != nullptr ? udev_monitor_get_fd(monitor) : -1;

  // Only this thread takes the modem Offline (RemovePath), so a wait begun
  // while it is not Offline needs no deadline; should the modem thread
  // overwrite Offline meanwhile, the scan deadline wakes it once for nothing.
  while (!m_bFinish) {
    const bool offline = modem->m_State == ModemRunState::Offline;
    const int32_t deadline = offline && nextScan >= 1 ? nextScan : Clock::kNoDeadline;
    const int woken = m_Clock.WaitUntil(deadline, {fd, m_FinishWake.fd()});
    m_FinishWake.Drain();
    if (m_bFinish) break;
    if (woken == 0) {
      udev_device* dev = udev_monitor_receive_device(monitor);
      if (dev == nullptr) {
        logger->printf(3, "No Device from receive_device(). An error occured.\n");
      } else {
        HandleEvent(debug, TtyDevice::FromUdev(dev), modem);
        udev_device_unref(dev);
      }
      // One event a second; a burst waits in the monitor's socket.
      m_Clock.Pause(kUdevEventGapMicroseconds, {m_FinishWake.fd()});
      m_FinishWake.Drain();
    }
    ManualScanIfDue(debug, modem, &now, &nextScan);
  }
  if (monitor != nullptr) udev_monitor_unref(monitor);
  udev_unref(context);
  return 0;
}

void uDev::list_properties(udev_device* dev) {
  TtyDevice tty;
  tty.properties = TtyDevice::ReadProperties(dev);
  LogProperties(tty);
}

bool uDev::ScanDevice(uint8_t debug, const TtyDevice& tty, CellularModem* modem) {
  for (size_t i = 0; i < kModemRowCount; ++i) {
    const ModemRow& row = kModemRows[i];
    if (!row.foundByScan || MatchRow(row, tty) != RowMatch::kFull) continue;
    const MaybeText& port = row.scanUsesDevname ? tty.devname : tty.node;
    if (!port) return false;  // nothing to hand to SetPath
    Announce(debug, Origin::kScan, row, tty, *port, modem);
    return true;
  }
  return false;
}

void uDev::HandleEvent(uint8_t debug, const TtyDevice& tty, CellularModem* modem) {
  logger->printf(6, "Got Device\n");
  logger->printf(6, "   Node: %s\n", LogText(tty.node));
  logger->printf(6, "   Subsystem: %s\n", LogText(tty.subsystem));
  logger->printf(6, "   Devtype: %s\n", LogText(tty.devtype));
  logger->printf(6, "   Action: %s\n", LogText(tty.action));
  // A node-less event cannot be the modem's port; RemovePath compares paths.
  if (tty.action && *tty.action == "remove" && tty.node) {
    modem->RemovePath(tty.node->c_str());
  }
  if (!tty.usb) return;
  if (debug > kDebugStatus) {
    logger->printf(6, "product %s\r\n", LogText(tty.usb->product));
    logger->printf(6, "vendor %s\r\n", LogText(tty.usb->vendor));
  }
  if (!tty.usb->vendor || !tty.usb->product) return;
  // Even a "remove" is matched: while the modem's USB parent can still be
  // read, the port is announced again right after RemovePath.
  for (size_t i = 0; i < kModemRowCount; ++i) {
    const ModemRow& row = kModemRows[i];
    RowMatch match = MatchRow(row, tty);
    if (match == RowMatch::kNone) continue;
    if (row.monitorLogsUsbIface && debug > kDebugQuiet) {
      logger->printf(6, "usb iface %s\r\n", LogText(tty.interfaceNum));
    }
    if (match == RowMatch::kFull && tty.node) {
      Announce(debug, Origin::kMonitor, row, tty, *tty.node, modem);
    }
  }
}

void uDev::ManualScanIfDue(uint8_t debug, CellularModem* modem, int32_t* now,
                           int32_t* nextScan) {
  if (modem->m_State != ModemRunState::Offline) return;
  m_Clock.Uptime(now);
  if (*nextScan >= 1 && *nextScan < *now) {
    logger->printf(6, "udev : initiating manual scan\n");
    Scan(debug, modem);
    *nextScan = *now + kManualScanSeconds;
  }
}

void uDev::Announce(uint8_t debug, Origin origin, const ModemRow& row,
                    const TtyDevice& tty, const std::string& port,
                    CellularModem* modem) {
  if (debug > kDebugQuiet) {
    LogRowLines(origin, row, tty);
    LogUsbParent(*tty.usb);
  }
  if (debug > kDebugStatus || (origin == Origin::kScan && row.scanAlwaysDumps)) {
    LogProperties(tty);
  }
  modem->m_ModemType = row.type;
  modem->SetPath(port.c_str());
}

void uDev::LogRowLines(Origin origin, const ModemRow& row, const TtyDevice& tty) {
  bool targetDev = origin == Origin::kScan && row.scanUsesDevname;
  bool targetIface = origin == Origin::kScan ? row.scanLogsIface : row.monitorLogsIface;
  if (targetDev) logger->printf(6, "Target Dev: %s\n", LogText(tty.devname));
  if (targetIface) logger->printf(6, "Target Iface: %s\n", LogText(tty.interfaceNum));
}

void uDev::LogUsbParent(const UsbParent& usb) {
  logger->printf(6, "Device Node Path: %s\n", LogText(usb.node));
  logger->printf(6, "Device Dev Path: %s\n", LogText(usb.devpath));
  logger->printf(6, "  VID/PID: %s %s\n", LogText(usb.vendor), LogText(usb.product));
  logger->printf(6, "  %s\n  %s\n", LogText(usb.manufacturer), LogText(usb.productName));
  logger->printf(6, "  serial: %s\n", LogText(usb.serial));
}

void uDev::LogProperties(const TtyDevice& tty) {
  for (const auto& property : tty.properties) {
    logger->printf(6, "%s: %s\n", property.first.c_str(), property.second.c_str());
  }
}
