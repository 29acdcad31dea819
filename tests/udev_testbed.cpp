#include "tests/udev_testbed.h"

#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <umockdev.h>

namespace {

const char kPreload[] = "libumockdev-preload.so.0";

bool PreloadActive() {
  const char* preload = getenv("LD_PRELOAD");
  return preload != nullptr && strstr(preload, "libumockdev-preload") != nullptr;
}

std::vector<std::string> OwnArguments() {
  std::string all;
  int fd = open("/proc/self/cmdline", O_RDONLY);
  char buffer[4096];
  ssize_t got;
  while (fd >= 0 && (got = read(fd, buffer, sizeof(buffer))) > 0) all.append(buffer, got);
  if (fd >= 0) close(fd);
  std::vector<std::string> args;
  for (size_t start = 0; start < all.size();) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    args.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

// umockdev redirects /sys and the uevent socket only through its preload
// library, which must be in place when the program starts. So the program
// starts itself again with it, before main and before any test.
__attribute__((constructor)) void RestartUnderPreload() {
  if (PreloadActive() || getenv("WANVOX_UMOCKDEV_RESTARTED") != nullptr) return;
  std::vector<std::string> args = OwnArguments();
  if (args.empty()) return;
  std::string preload = kPreload;
  if (const char* old = getenv("LD_PRELOAD")) preload = preload + ":" + old;
  // ASan insists on coming first in the library list; the preload comes first.
  std::string asan = "verify_asan_link_order=0";
  if (const char* old = getenv("ASAN_OPTIONS")) asan = std::string(old) + ":" + asan;
  setenv("LD_PRELOAD", preload.c_str(), 1);
  setenv("ASAN_OPTIONS", asan.c_str(), 1);
  setenv("WANVOX_UMOCKDEV_RESTARTED", "1", 1);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  fflush(nullptr);
  execv("/proc/self/exe", argv.data());
  perror("restart under the umockdev preload");
}

std::vector<char*> NullTerminated(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  return pointers;
}

// |syspath| and every device below it, parents before children.
void CollectDevices(const std::string& root, const std::string& syspath,
                    std::vector<std::string>* devices) {
  devices->push_back(syspath);
  DIR* dir = opendir((root + syspath).c_str());
  if (dir == nullptr) return;
  while (struct dirent* entry = readdir(dir)) {
    std::string child = syspath + "/" + entry->d_name;
    struct stat info;
    if (entry->d_name[0] == '.' || lstat((root + child).c_str(), &info) != 0 ||
        !S_ISDIR(info.st_mode) || access((root + child + "/uevent").c_str(), F_OK) != 0) {
      continue;
    }
    CollectDevices(root, child, devices);
  }
  closedir(dir);
}

// /root/event5 -> /root/quiet-event5, which umockdev does not send to.
std::string HiddenName(const std::string& listener) {
  size_t slash = listener.rfind('/');
  return listener.substr(0, slash + 1) + "quiet-" + listener.substr(slash + 1);
}

std::string Owned(gchar* text) {
  std::string copy = text != nullptr ? text : "";
  g_free(text);
  return copy;
}

}  // namespace

// umockdev_testbed_new() starts a worker thread and passes it strings, a
// mutex and GLib objects. GLib and umockdev are not built for
// ThreadSanitizer, which cannot see their hand-offs and calls them races.
// Nothing of this program's own is shared with that thread.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libumockdev.so.0\n"
         "race:libglib-2.0.so.0\n";
}

Testbed::Testbed() : m_pTestbed(umockdev_testbed_new()) {
  m_sRoot = Owned(umockdev_testbed_get_root_dir(m_pTestbed));
}

Testbed::~Testbed() { g_object_unref(m_pTestbed); }

bool Testbed::Active() { return PreloadActive(); }

std::string Testbed::AddUsbDevice(const std::string& vendor, const std::string& product) {
  int number = ++m_Devices;
  return AddQuietly(
      "usb", "1-" + std::to_string(number), "",
      {"idVendor", vendor, "idProduct", product, "manufacturer", "Maker " + vendor,
       "product", "Modem " + product, "serial", "SN" + std::to_string(number)},
      {"DEVTYPE", "usb_device", "DEVNAME", "/dev/bus/usb/001/00" + std::to_string(number)});
}

std::string Testbed::AddTty(const std::string& usb, const std::string& name,
                            const std::string& ifaceNum) {
  std::string ifaceName = usb.substr(usb.rfind('/') + 1) + ":1." + std::to_string(++m_Devices);
  std::string iface = AddQuietly("usb", ifaceName, usb, {"bInterfaceNumber", ifaceNum},
                                 {"DEVTYPE", "usb_interface"});
  std::vector<std::string> properties = {"DEVNAME", "/dev/" + name};
  if (!ifaceNum.empty()) {
    properties.push_back("ID_USB_INTERFACE_NUM");
    properties.push_back(ifaceNum);
  }
  return AddDevice("tty", name, iface, properties);
}

std::string Testbed::AddDevice(const std::string& subsystem, const std::string& name,
                               const std::string& parent,
                               const std::vector<std::string>& properties) {
  return AddQuietly(subsystem, name, parent, {}, properties);
}

std::string Testbed::AddQuietly(const std::string& subsystem, const std::string& name,
                                const std::string& parent, std::vector<std::string> attributes,
                                std::vector<std::string> properties) {
  // umockdev sends "add" for every device it adds, to every socket named
  // event<N> in the testbed; the listeners' sockets are renamed meanwhile.
  glob_t found;
  std::vector<std::string> listeners;
  if (glob((m_sRoot + "/event[0-9]*").c_str(), 0, nullptr, &found) == 0) {
    for (size_t i = 0; i < found.gl_pathc; ++i) listeners.push_back(found.gl_pathv[i]);
  }
  globfree(&found);
  for (const std::string& listener : listeners) {
    rename(listener.c_str(), HiddenName(listener).c_str());
  }
  std::vector<char*> attributeList = NullTerminated(attributes);
  std::vector<char*> propertyList = NullTerminated(properties);
  std::string syspath = Owned(umockdev_testbed_add_devicev(
      m_pTestbed, subsystem.c_str(), name.c_str(), parent.empty() ? nullptr : parent.c_str(),
      attributeList.data(), propertyList.data()));
  for (const std::string& listener : listeners) {
    rename(HiddenName(listener).c_str(), listener.c_str());
  }
  return syspath;
}

void Testbed::Uevent(const std::string& syspath, const std::string& action) {
  umockdev_testbed_uevent(m_pTestbed, syspath.c_str(), action.c_str());
}

void Testbed::Detach(const std::string& usb) {
  // libudev takes a device's subsystem from its "subsystem" link.
  std::string link = m_sRoot + usb + "/subsystem";
  std::error_code error;
  std::string subsystem = std::filesystem::read_symlink(link, error).filename();
  if (error) return;
  m_Detached[usb] = subsystem;
  unlink(link.c_str());
  if (symlink("../../class/detached", link.c_str()) != 0) perror(link.c_str());
}

void Testbed::Remove(const std::string& syspath) {
  // umockdev removes the /sys/class and /sys/bus links of the named device
  // only, so the devices below go first, deepest first.
  std::vector<std::string> devices;
  CollectDevices(m_sRoot, syspath, &devices);
  for (auto device = devices.rbegin(); device != devices.rend(); ++device) {
    auto detached = m_Detached.find(*device);
    if (detached == m_Detached.end()) {
      umockdev_testbed_remove_device(m_pTestbed, device->c_str());
      continue;
    }
    // umockdev cannot tell a detached device's subsystem, and putting the
    // link back would let a late reader of a "remove" event find it again.
    std::string name = device->substr(device->rfind('/') + 1);
    std::string sys = m_sRoot + "/sys/";
    unlink((sys + "class/" + detached->second + "/" + name).c_str());
    unlink((sys + "bus/" + detached->second + "/devices/" + name).c_str());
    std::error_code error;
    std::filesystem::remove_all(m_sRoot + *device, error);
    m_Detached.erase(detached);
  }
}

bool Testbed::WaitForMonitor(double seconds) const {
  // The preload binds each monitor to a socket "event<fd>" in the testbed.
  std::string pattern = m_sRoot + "/event[0-9]*";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    glob_t found;
    bool listening = glob(pattern.c_str(), 0, nullptr, &found) == 0;
    globfree(&found);
    if (listening) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
