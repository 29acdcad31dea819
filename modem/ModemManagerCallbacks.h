// Completion callbacks of the ModemManager proxies and the idle handler that
// ends each blocking query. Modem thread only: they run inside `loop`, write
// the ModemManager snapshot (modem/ModemSnapshot.h) and always stop `loop`.
#ifndef WANVOX_MODEM_MODEMMANAGERCALLBACKS_H_
#define WANVOX_MODEM_MODEMMANAGERCALLBACKS_H_

#include <giomm/asyncresult.h>
#include <glibmm/refptr.h>

#include "modem/ModemManagerVariants.h"

// ObjectManager proxy: GetManagedObjects, then the chosen modem object into
// the GLOBAL_CELL_... and GLOBAL_MODEM_... variables.
void on_dbus_modem_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result);
// Sim proxy: SimIdentifier into GLOBAL_CELL_SIMID (empty when not cached).
void on_dbus_sim_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result);
// Modem3gpp proxy: operator code, registration and subscription states.
void on_dbus_3gpp_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result);
// Signal proxy: asks for a 5 s refresh rate when the Rate differs, then the
// LTE values into GLOBAL_RSSI, GLOBAL_RSRQ, GLOBAL_RSRP and GLOBAL_SNR.
void on_dbus_signal_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result);

// Quits `loop` and returns false, so it runs once.
bool on_main_loop_idle();

// Copies one walked modem object into the snapshot.
void StoreModemObject(const ModemObject& modem);

#endif  // WANVOX_MODEM_MODEMMANAGERCALLBACKS_H_
