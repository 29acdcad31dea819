// A umockdev testbed owned by the test process: USB modems with tty children
// that libudev enumerates, and uevents that a udev monitor in the same
// process receives. Devices appear without uevents; tests send the events
// they mean to. Linking this file makes the test program restart itself
// under the umockdev preload before any test runs. Test thread only, except
// that the monitor under test may read the testbed from its own thread.
#ifndef WANVOX_TESTS_UDEV_TESTBED_H_
#define WANVOX_TESTS_UDEV_TESTBED_H_

#include <map>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

class Testbed {
 public:
  // An empty testbed; UMOCKDEV_DIR points at it until it is destroyed.
  Testbed();
  ~Testbed();
  Testbed(const Testbed&) = delete;
  Testbed& operator=(const Testbed&) = delete;

  // True when the program runs under the preload (else nothing works).
  static bool Active();

  // A "usb_device" with the given ids; returns its system path.
  std::string AddUsbDevice(const std::string& vendor, const std::string& product);
  // A tty below a new interface |ifaceNum| of |usb|, node "/dev/<name>".
  // An empty |ifaceNum| leaves the ID_USB_INTERFACE_NUM property out.
  std::string AddTty(const std::string& usb, const std::string& name,
                     const std::string& ifaceNum);
  // Any device of |subsystem| below |parent| (e.g. a "net" interface).
  std::string AddDevice(const std::string& subsystem, const std::string& name,
                        const std::string& parent,
                        const std::vector<std::string>& properties);

  void Uevent(const std::string& syspath, const std::string& action);
  // Makes |usb| unrecognisable as a USB device while its entries stay in
  // place, as when the kernel has already torn down an unplugged device but
  // its "remove" events are still to be sent.
  void Detach(const std::string& usb);
  // Removes a device and everything below it (a detached one too).
  void Remove(const std::string& syspath);

  // Waits (up to |seconds| of real time) until a udev monitor listens.
  bool WaitForMonitor(double seconds) const;

 private:
  std::string AddQuietly(const std::string& subsystem, const std::string& name,
                         const std::string& parent, std::vector<std::string> attributes,
                         std::vector<std::string> properties);

  UMockdevTestbed* m_pTestbed;
  std::string m_sRoot;
  int m_Devices = 0;  // numbers the USB devices and interfaces
  std::map<std::string, std::string> m_Detached;  // system path -> subsystem
};

#endif  // WANVOX_TESTS_UDEV_TESTBED_H_
