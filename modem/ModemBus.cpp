// Tested by tests/modem_manager_test.cpp (a private bus that is restarted)
// and tests/e2e/test_modem.py (a stop while ModemManager is frozen).
#include "modem/ModemBus.h"

#include <iostream>

namespace {

const char* const kService = "org.freedesktop.ModemManager1";
const char* const kBus = "org.freedesktop.DBus";
const char* const kBusPath = "/org/freedesktop/DBus";
const char* const kProperties = "org.freedesktop.DBus.Properties";

// The subscriptions are kept for their match rules; what they receive is
// the proxies' business.
void Ignore(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
            gpointer) {}

guint Subscribe(const Glib::RefPtr<Gio::DBus::Connection>& connection, const char* sender,
                const char* interface, const char* member, const char* path, const char* arg0) {
  return g_dbus_connection_signal_subscribe(connection->gobj(), sender, interface, member, path,
                                            arg0, G_DBUS_SIGNAL_FLAGS_NONE, &Ignore, nullptr,
                                            nullptr);
}

void ReportError(const Glib::Error& error) {
  std::cerr << "Got an error: '" << error.what() << "'." << std::endl;
}

// Adds the idle quit when it goes out of scope, however the scope is left.
class QuitWhenIdle {
 public:
  QuitWhenIdle() = default;
  QuitWhenIdle(const QuitWhenIdle&) = delete;
  QuitWhenIdle& operator=(const QuitWhenIdle&) = delete;
  ~QuitWhenIdle() {
    Glib::signal_idle().connect(sigc::ptr_fun(&on_main_loop_idle), Glib::PRIORITY_DEFAULT_IDLE);
  }
};

}  // namespace

Glib::RefPtr<Glib::MainLoop> loop;

bool on_main_loop_idle() {
  loop->quit();
  return false;
}

ModemBus::ModemBus() : m_Cancellable(Gio::Cancellable::create()) {
  loop = Glib::MainLoop::create(false);
}

bool ModemBus::Connect() {
  // GIO keeps handing out its shared connection, closed or not, for as long
  // as anyone holds a reference to it.
  if (m_Connection && m_Connection->is_closed()) {
    DropRules();
    m_Connection.reset();
  }
  try {
    m_Connection = Gio::DBus::Connection::get_sync(Gio::DBus::BUS_TYPE_SYSTEM, m_Cancellable);
  } catch (const Glib::Error& error) {
    ReportError(error);
    return false;
  }
  // GIO would end the whole process when the bus closes the connection;
  // here a lost bus only makes the queries fail.
  m_Connection->set_exit_on_close(false);
  return true;
}

void ModemBus::Query(const std::string& path, const char* interface, Callback callback) {
  // The binding refuses a malformed path without ever calling back, which
  // would leave the loop running forever (an empty modem path, say).
  if (!g_variant_is_object_path(path.c_str())) return;
  KeepRules(path, interface);
  Gio::DBus::Proxy::create(m_Connection, kService, path, interface, sigc::ptr_fun(callback),
                           m_Cancellable);
  // The callbacks' own method calls find it as the current cancellable.
  m_Cancellable->push_current();
  loop->run();
  m_Cancellable->pop_current();
}

void ModemBus::Cancel() { m_Cancellable->cancel(); }

// The same subscriptions, with the same arguments, as GDBusProxy makes for a
// well-known name with default flags.
void ModemBus::KeepRules(const std::string& path, const char* interface) {
  if (m_NameOwnerRule == 0) {
    m_NameOwnerRule = Subscribe(m_Connection, kBus, kBus, "NameOwnerChanged", kBusPath, kService);
  }
  KeptRules& kept = m_Rules[interface];
  if (kept.propertiesChanged != 0 && kept.path == path) return;
  // The new rules first, so that the name's owner stays followed throughout.
  KeptRules renewed;
  renewed.path = path;
  renewed.propertiesChanged =
      Subscribe(m_Connection, kService, kProperties, "PropertiesChanged", path.c_str(), interface);
  renewed.signals = Subscribe(m_Connection, kService, interface, nullptr, path.c_str(), nullptr);
  if (kept.propertiesChanged != 0) {
    m_Connection->signal_unsubscribe(kept.propertiesChanged);
    m_Connection->signal_unsubscribe(kept.signals);
  }
  kept = renewed;
}

// On a closed connection, unsubscribing sends nothing.
void ModemBus::DropRules() {
  for (const auto& entry : m_Rules) {
    m_Connection->signal_unsubscribe(entry.second.propertiesChanged);
    m_Connection->signal_unsubscribe(entry.second.signals);
  }
  m_Rules.clear();
  if (m_NameOwnerRule != 0) m_Connection->signal_unsubscribe(m_NameOwnerRule);
  m_NameOwnerRule = 0;
}

// The idle quit lets the callback return before the blocked query goes on.
void ModemBus::Finish(Glib::RefPtr<Gio::AsyncResult>& result, const ProxyReader& read) {
  Glib::RefPtr<Gio::DBus::Proxy> proxy;
  try {
    proxy = Gio::DBus::Proxy::create_finish(result);
  } catch (...) {
    proxy.reset();
  }
  if (!proxy) {
    std::cerr << "The proxy to the user's session bus was not successfully created."
              << std::endl;
    loop->quit();
    return;
  }
  QuitWhenIdle quit;
  try {
    read(proxy);
  } catch (const Glib::Error& error) {
    ReportError(error);
  }
}
