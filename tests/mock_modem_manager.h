// A private D-Bus daemon (a unix:path= socket under /tmp) and the mock
// ModemManager of tools/mock_modemmanager.py on it, for tests that run the
// real D-Bus code. DBUS_SYSTEM_BUS_ADDRESS points at the private bus for the
// rest of the process, because GIO caches its system-bus connection.
#ifndef WANVOX_TESTS_MOCK_MODEM_MANAGER_H_
#define WANVOX_TESTS_MOCK_MODEM_MANAGER_H_

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <giomm/dbusconnection.h>
#include <giomm/init.h>
#include <glibmm/variant.h>

extern char** environ;

// A child process whose standard output is read line by line.
class ChildProcess {
 public:
  ~ChildProcess() { Stop(); }

  bool Start(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int failed = posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    m_Out = fds[0];
    if (failed != 0) m_Pid = -1;
    return failed == 0;
  }

  // The next line without its end, or "" after |timeoutMs| or at the end.
  std::string ReadLine(int timeoutMs) {
    std::string line;
    char c = 0;
    struct pollfd poller = {m_Out, POLLIN, 0};
    while (poll(&poller, 1, timeoutMs) == 1 && read(m_Out, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

  void Stop() {
    if (m_Pid > 0) {
      kill(m_Pid, SIGTERM);
      waitpid(m_Pid, nullptr, 0);
      m_Pid = -1;
    }
    if (m_Out >= 0) close(m_Out);
    m_Out = -1;
  }

 private:
  pid_t m_Pid = -1;
  int m_Out = -1;
};

class MockModemManager {
 public:
  static constexpr const char* kManagerPath = "/org/freedesktop/ModemManager1";
  static constexpr const char* kControl = "org.wanvox.Test.ModemManagerControl";

  // Starts the private bus and points the process's system bus at it.
  bool StartBus() {
    char pattern[] = "/tmp/wanvox-mmbus.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    m_sDir = pattern;
    if (!m_Bus.Start({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address",
                      "--address=unix:path=" + m_sDir + "/bus"})) {
      return false;
    }
    const std::string address = m_Bus.ReadLine(5000);
    if (address.empty()) return false;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    Gio::init();
    // The test outlives the bus it started.
    Gio::DBus::Connection::get_sync(Gio::DBus::BUS_TYPE_SYSTEM)->set_exit_on_close(false);
    return true;
  }

  void StopBus() {
    StopService();
    m_Bus.Stop();
    if (!m_sDir.empty() && system(("rm -rf " + m_sDir).c_str()) != 0) m_sDir.clear();
  }

  // Starts the mock with the modems given as JSON specs; true once it owns
  // the ModemManager name.
  bool StartService(const std::vector<std::string>& modems = {}) {
    std::vector<std::string> args = {"/usr/bin/python3",
                                     WANVOX_SOURCE_DIR "/tools/mock_modemmanager.py"};
    for (const std::string& modem : modems) {
      args.push_back("--modem");
      args.push_back(modem);
    }
    return m_Service.Start(args) && m_Service.ReadLine(10000) == "ready";
  }

  void StopService() { m_Service.Stop(); }

  // One control call on the mock; throws Glib::Error when it fails.
  Glib::VariantContainerBase Control(const char* method, const Glib::VariantContainerBase& args) {
    return Gio::DBus::Connection::get_sync(Gio::DBus::BUS_TYPE_SYSTEM)
        ->call_sync(kManagerPath, kControl, method, args, "org.freedesktop.ModemManager1");
  }

  void SetProperties(const std::string& path, const std::string& interface,
                     const std::string& json) {
    Control("SetProperties", Tuple({Glib::Variant<Glib::DBusObjectPathString>::create(path),
                                    Glib::Variant<Glib::ustring>::create(interface),
                                    Glib::Variant<Glib::ustring>::create(json)}));
  }

  void RemoveModem(const std::string& path) {
    Control("RemoveModem", Tuple({Glib::Variant<Glib::DBusObjectPathString>::create(path)}));
  }

  std::vector<uint32_t> SetupCalls(const std::string& path) {
    Glib::VariantContainerBase reply = Control(
        "SetupCalls", Tuple({Glib::Variant<Glib::DBusObjectPathString>::create(path)}));
    Glib::Variant<std::vector<uint32_t>> calls;
    reply.get_child(calls, 0);
    return calls.get();
  }

 private:
  static Glib::VariantContainerBase Tuple(const std::vector<Glib::VariantBase>& items) {
    return Glib::VariantContainerBase::create_tuple(items);
  }

  std::string m_sDir;
  ChildProcess m_Bus;
  ChildProcess m_Service;
};

#endif  // WANVOX_TESTS_MOCK_MODEM_MANAGER_H_
