// Completion callbacks of the ModemManager proxies. Modem thread only: they
// run inside `loop`, write the ModemManager snapshot (modem/ModemSnapshot.h)
// and stop `loop` through ModemBus::Finish, which every one of them
// delegates to.
#ifndef WANVOX_MODEM_MODEMMANAGERCALLBACKS_H_
#define WANVOX_MODEM_MODEMMANAGERCALLBACKS_H_

#include <giomm/asyncresult.h>
#include <glibmm/refptr.h>

// ObjectManager proxy: GetManagedObjects, then the chosen modem object into
// the GLOBAL_CELL_... and GLOBAL_MODEM_... variables.
void on_dbus_modem_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result);
// Sim proxy: SimIdentifier into GLOBAL_CELL_SIMID (empty when not cached).
void on_dbus_sim_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result);
// Modem3gpp proxy: operator code, registration and subscription states.
void on_dbus_3gpp_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result);
// Signal proxy: asks for a kSignalRateSeconds refresh rate when the Rate
// differs, then the LTE values into GLOBAL_RSSI, GLOBAL_RSRQ, GLOBAL_RSRP and
// GLOBAL_SNR.
void on_dbus_signal_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result);

#endif  // WANVOX_MODEM_MODEMMANAGERCALLBACKS_H_
