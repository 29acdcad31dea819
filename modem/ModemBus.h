// ModemBus: the ModemManager queries' way onto the system bus. Connect() and
// Query(): modem thread only (it alone runs `loop`). Cancel(): any thread.
//
// It holds GIO's shared system-bus connection for the daemon's lifetime, so
// that the connection is not torn down and built again for every refresh,
// and the cancellable that every query is given, so that a stop request ends
// a query that is waiting on a frozen ModemManager.
#ifndef WANVOX_MODEM_MODEMBUS_H_
#define WANVOX_MODEM_MODEMBUS_H_

#include <string>

#include <giomm/asyncresult.h>
#include <giomm/cancellable.h>
#include <giomm/dbusconnection.h>
#include <glibmm/refptr.h>

class ModemBus {
 public:
  using Callback = void (*)(Glib::RefPtr<Gio::AsyncResult>&);

  // After Gio::init().
  ModemBus();

  ModemBus(const ModemBus&) = delete;
  ModemBus& operator=(const ModemBus&) = delete;

  // Takes hold of the shared connection: true, or false (reported on
  // standard error) when the bus cannot be reached. A connection that the
  // bus has closed (a restarted bus) is let go first, so that the bus is
  // reached afresh.
  bool Connect();
  // One blocking query on the connection Connect() holds: creates a proxy on
  // ModemManager's |interface| at |path| and runs `loop` until |callback| has
  // stopped it. A malformed path does nothing.
  void Query(const std::string& path, const char* interface, Callback callback);
  // Ends the query in flight, and makes every later one fail at once.
  void Cancel();

 private:
  Glib::RefPtr<Gio::DBus::Connection> m_Connection;  // modem thread only
  const Glib::RefPtr<Gio::Cancellable> m_Cancellable;  // thread-safe (GIO locks it)
};

#endif  // WANVOX_MODEM_MODEMBUS_H_
