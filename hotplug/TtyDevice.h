// TtyDevice: what the modem detector needs to know about one tty device and
// its USB parent, copied out of libudev so that every decision works on plain
// data. Built and read on the udev thread.
#ifndef WANVOX_HOTPLUG_TTYDEVICE_H_
#define WANVOX_HOTPLUG_TTYDEVICE_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct udev_device;

// A udev text that may be missing (libudev gives a null pointer).
using MaybeText = std::optional<std::string>;

// The text a "%s" of a missing value prints, as the C library writes it, so
// log lines keep their shape when a device lacks an attribute.
const char* LogText(const MaybeText& text);

// The "usb"/"usb_device" ancestor of a tty: the modem itself.
struct UsbParent {
  MaybeText node;          // device node, e.g. /dev/bus/usb/001/004
  MaybeText devpath;       // device path, /devices/...
  MaybeText vendor;        // attribute "idVendor"
  MaybeText product;       // attribute "idProduct"
  MaybeText manufacturer;  // attribute "manufacturer"
  MaybeText productName;   // attribute "product"
  MaybeText serial;        // attribute "serial"
};

struct TtyDevice {
  MaybeText node;          // device node given to SetPath/RemovePath
  MaybeText devname;       // udev property "DEVNAME" (the same path)
  MaybeText interfaceNum;  // udev property "ID_USB_INTERFACE_NUM"
  MaybeText subsystem;
  MaybeText devtype;
  MaybeText action;        // set on hot-plug events only
  std::vector<std::pair<std::string, std::string>> properties;  // in udev order
  std::optional<UsbParent> usb;  // empty: the tty has no USB parent

  // Copies everything above out of |dev|; |dev| stays owned by the caller.
  static TtyDevice FromUdev(udev_device* dev);
  static std::vector<std::pair<std::string, std::string>> ReadProperties(
      udev_device* dev);
};

#endif  // WANVOX_HOTPLUG_TTYDEVICE_H_
