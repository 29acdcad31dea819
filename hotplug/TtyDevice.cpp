#include "hotplug/TtyDevice.h"

#include <libudev.h>

namespace {

MaybeText Maybe(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

UsbParent ReadUsbParent(udev_device* usb) {
  UsbParent parent;
  parent.node = Maybe(udev_device_get_devnode(usb));
  parent.devpath = Maybe(udev_device_get_devpath(usb));
  parent.vendor = Maybe(udev_device_get_sysattr_value(usb, "idVendor"));
  parent.product = Maybe(udev_device_get_sysattr_value(usb, "idProduct"));
  parent.manufacturer = Maybe(udev_device_get_sysattr_value(usb, "manufacturer"));
  parent.productName = Maybe(udev_device_get_sysattr_value(usb, "product"));
  parent.serial = Maybe(udev_device_get_sysattr_value(usb, "serial"));
  return parent;
}

}  // namespace

const char* LogText(const MaybeText& text) {
  return text ? text->c_str() : "(null)";
}

TtyDevice TtyDevice::FromUdev(udev_device* dev) {
  TtyDevice tty;
  tty.node = Maybe(udev_device_get_devnode(dev));
  tty.devname = Maybe(udev_device_get_property_value(dev, "DEVNAME"));
  tty.interfaceNum = Maybe(udev_device_get_property_value(dev, "ID_USB_INTERFACE_NUM"));
  tty.subsystem = Maybe(udev_device_get_subsystem(dev));
  tty.devtype = Maybe(udev_device_get_devtype(dev));
  tty.action = Maybe(udev_device_get_action(dev));
  tty.properties = ReadProperties(dev);
  // The parent belongs to |dev| and goes with it.
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
  if (usb != nullptr) tty.usb = ReadUsbParent(usb);
  return tty;
}

std::vector<std::pair<std::string, std::string>> TtyDevice::ReadProperties(
    udev_device* dev) {
  std::vector<std::pair<std::string, std::string>> properties;
  udev_list_entry* entry;
  udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(dev)) {
    const char* value = udev_list_entry_get_value(entry);
    properties.emplace_back(udev_list_entry_get_name(entry), value ? value : "");
  }
  return properties;
}
