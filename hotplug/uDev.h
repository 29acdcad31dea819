// uDev: finds the internal modem's command port with libudev and follows it
// through hot-plug. Udev thread, except finish() (main thread).
#ifndef WANVOX_HOTPLUG_UDEV_H_
#define WANVOX_HOTPLUG_UDEV_H_

#include <atomic>
#include <cstdint>

#include "core/base/Clock.h"
#include "core/base/Wake.h"
#include "hotplug/ModemTable.h"
#include "hotplug/TtyDevice.h"
#include "modem/CellularModem.h"

struct udev_device;

class uDev {
 public:
  // |clock| gives the monitor's uptime readings and its waits; it must
  // outlive the object.
  explicit uDev(Clock& clock = Clock::System());
  virtual ~uDev();

  uDev(const uDev&) = delete;
  uDev& operator=(const uDev&) = delete;

  // One pass over all tty devices; announces every port of a known modem
  // (the last one found wins). Returns the number of announcements, or -3
  // after "Can't create udev" when there is no udev context.
  int Scan(uint8_t debug, CellularModem* modem);

  // The hot-plug loop: it waits for a uevent, finish() or, while the modem
  // is Offline, the next manual Scan (every 15 s); it takes at most one
  // tty event a second. Returns 0 once finish() was called, -3 after "Can't
  // create udev".
  int Monitor(uint8_t debug, CellularModem* modem);

  // Makes Monitor return at once. Any thread.
  void finish();

  // Logs every udev property of |dev| as "name: value".
  void list_properties(udev_device* dev);

  // The decisions of Scan and Monitor on one device, public so that tests
  // can drive them with plain devices.
  //
  // Scan: announces |tty| if it is the port of a modem the scan knows.
  // Returns true when it did.
  bool ScanDevice(uint8_t debug, const TtyDevice& tty, CellularModem* modem);
  // Monitor: logs the event, hands a removed node to RemovePath, and
  // announces the port of any known modem, whatever the action.
  void HandleEvent(uint8_t debug, const TtyDevice& tty, CellularModem* modem);
  // Monitor, after each wait: while the modem is Offline, reads the uptime
  // into *now (kept when the reading fails) and runs Scan once it is past
  // *nextScan, which then moves 15 s on.
  void ManualScanIfDue(uint8_t debug, CellularModem* modem, int32_t* now,
                       int32_t* nextScan);

 private:
  enum class Origin { kScan, kMonitor };

  void Announce(uint8_t debug, Origin origin, const ModemRow& row,
                const TtyDevice& tty, const std::string& port,
                CellularModem* modem);
  void LogRowLines(Origin origin, const ModemRow& row, const TtyDevice& tty);
  void LogUsbParent(const UsbParent& usb);
  void LogProperties(const TtyDevice& tty);

  Clock& m_Clock;
  std::atomic<bool> m_bFinish;  // set by finish() on the main thread
  Wake m_FinishWake;            // rung by finish()
};

#endif  // WANVOX_HOTPLUG_UDEV_H_
