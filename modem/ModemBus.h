// ModemBus: the ModemManager queries' way onto the system bus, and the Glib
// main loop `loop` each query runs. Connect(), Query() and Finish(): modem
// thread only (it alone runs `loop`). Cancel(): any thread.
//
// It holds GIO's shared system-bus connection for the daemon's lifetime, so
// that the connection is not torn down and built again for every refresh,
// and the cancellable that every query is given, so that a stop request ends
// a query that is waiting on a frozen ModemManager.
//
// Every run of `loop` (Query) is matched by a quit on every path (Finish):
// the modem thread is blocked until then.
//
// It also keeps, on the connection, the signal subscriptions that a proxy
// with default flags makes for each query: ModemManager's NameOwnerChanged,
// and PropertiesChanged and the interface's signals per path and interface.
// GDBus shares a subscription's match rule among all who make the same one,
// so every fresh proxy finds its rules in place: no AddMatch and RemoveMatch,
// and no GetNameOwner for the sender's owner, per query. A path that changes
// renews its interface's rules; a new connection gets them afresh.
#ifndef WANVOX_MODEM_MODEMBUS_H_
#define WANVOX_MODEM_MODEMBUS_H_

#include <functional>
#include <map>
#include <string>

#include <giomm/asyncresult.h>
#include <giomm/cancellable.h>
#include <giomm/dbusconnection.h>
#include <giomm/dbusproxy.h>
#include <glibmm/main.h>
#include <glibmm/refptr.h>

// The main loop the modem thread runs once per query. (Re)created by each
// ModemBus, which the CellularModem constructor builds; run and quit on the
// modem thread only.
extern Glib::RefPtr<Glib::MainLoop> loop;

// Quits `loop` and returns false, so that it runs once.
bool on_main_loop_idle();

class ModemBus {
 public:
  using Callback = void (*)(Glib::RefPtr<Gio::AsyncResult>&);
  using ProxyReader = std::function<void(const Glib::RefPtr<Gio::DBus::Proxy>&)>;

  // After Gio::init(). Creates `loop` afresh.
  ModemBus();

  ModemBus(const ModemBus&) = delete;
  ModemBus& operator=(const ModemBus&) = delete;

  // Takes hold of the shared connection: true, or false (reported on
  // standard error) when the bus cannot be reached. A connection that the
  // bus has closed (a restarted bus) is let go first, so that the bus is
  // reached afresh.
  bool Connect();
  // One blocking query on the connection Connect() holds: keeps the match
  // rules of |interface| at |path|, creates a proxy on ModemManager's
  // |interface| at |path| and runs `loop` until |callback| has stopped it
  // through Finish. A malformed path does nothing.
  void Query(const std::string& path, const char* interface, Callback callback);
  // Ends the query in flight, and makes every later one fail at once.
  void Cancel();

  // The frame of every completion callback. Finishes the proxy creation;
  // when no proxy comes back (also when finishing raises), writes "The
  // proxy to the user's session bus was not successfully created." to
  // standard error and quits `loop` at once. Otherwise runs |read| on the
  // proxy, reports a D-Bus error it raises as "Got an error: '<text>'." on
  // standard error, and adds on_main_loop_idle at the default idle priority
  // (200), so that the loop quits once the callback has returned, whatever
  // |read| did, another exception included.
  static void Finish(Glib::RefPtr<Gio::AsyncResult>& result, const ProxyReader& read);

 private:
  // The subscriptions of one interface's proxy at |path|.
  struct KeptRules {
    std::string path;
    guint propertiesChanged = 0;
    guint signals = 0;
  };

  void KeepRules(const std::string& path, const char* interface);
  void DropRules();

  // Modem thread only:
  Glib::RefPtr<Gio::DBus::Connection> m_Connection;
  std::map<std::string, KeptRules> m_Rules;  // by interface, on m_Connection
  guint m_NameOwnerRule = 0;                 // on m_Connection; 0: none yet
  const Glib::RefPtr<Gio::Cancellable> m_Cancellable;  // thread-safe (GIO locks it)
};

#endif  // WANVOX_MODEM_MODEMBUS_H_
