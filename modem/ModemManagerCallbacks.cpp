// What each completion callback reads from its proxy; ModemBus::Finish
// frames them (the proxy, D-Bus errors, stopping `loop`). A D-Bus error
// leaves the snapshot as it was. Method calls take the query's
// cancellable, which the query made the current one. Tested by
// tests/modem_manager_test.cpp against a mock ModemManager.
#include "modem/ModemManagerCallbacks.h"

#include <string>
#include <vector>

#include <giomm/cancellable.h>
#include <giomm/dbusproxy.h>

#include "core/base/Globals.h"
#include "core/base/Schedules.h"
#include "modem/ModemBus.h"
#include "modem/ModemManagerVariants.h"
#include "modem/ModemSnapshot.h"

namespace {

using Proxy = Glib::RefPtr<Gio::DBus::Proxy>;

std::vector<Glib::ustring> CachedNames(const Proxy& proxy) {
  return proxy->get_cached_property_names();
}

Glib::VariantBase Cached(const Proxy& proxy, const Glib::ustring& name) {
  Glib::VariantBase value;
  proxy->get_cached_property(value, name);
  return value;
}

// One "Setup" call asking ModemManager to refresh the Signal values every
// kSignalRateSeconds; the reply carries nothing.
void RequestSignalRate(const Proxy& proxy) {
  lgr->printf(6, "Setting rate to %d\r\n", static_cast<int>(kSignalRateSeconds));
  std::vector<Glib::VariantBase> arguments{Glib::Variant<guint32>::create(kSignalRateSeconds)};
  proxy->call_sync("Setup", Gio::Cancellable::get_current(),
                   Glib::VariantContainerBase::create_tuple(arguments));
}

void StoreModemObject(const ModemObject& modem) {
  GLOBAL_CELL_MODEL = modem.model;
  GLOBAL_CELL_REVISION = modem.revision;
  GLOBAL_CELL_DEVICEID = modem.deviceId;
  GLOBAL_CELL_IMEI = modem.imei;
  GLOBAL_CELL_PHONENUMBER = modem.phoneNumber;
  GLOBAL_CELL_SIMPATH = modem.simPath;
  GLOBAL_CELL_MODEMPATH = modem.path;
  GLOBAL_CELL_SIGNALQUALITY = modem.signalQuality;
  GLOBAL_CELL_SIGNALQUALITY_RECENT = modem.signalRecent;
  GLOBAL_CELL_ACCESSTECHNOLOGIES = modem.accessTechnologies;
  GLOBAL_CELL_CURRENTBANDS = modem.bands;
  GLOBAL_MODEM_STATE = modem.state;
  GLOBAL_MODEM_ERROR = modem.failedReason;
}

void ReadManagedObjects(const Proxy& proxy) {
  Glib::VariantContainerBase reply =
      proxy->call_sync("GetManagedObjects", Gio::Cancellable::get_current());
  Glib::VariantBase objects;
  if (reply.get_n_children() > 0) reply.get_child(objects, 0);
  StoreModemObject(PickModemObject(objects));
}

void ReadSim(const Proxy& proxy) {
  std::string simId;
  for (const Glib::ustring& name : CachedNames(proxy)) {
    if (name != "SimIdentifier") continue;
    if (ReadString(Cached(proxy, name), &simId)) {
      lgr->printf(6, "\t\t%s:%s\r\n", name.c_str(), simId.c_str());
    }
  }
  GLOBAL_CELL_SIMID = simId;
}

void Read3gpp(const Proxy& proxy) {
  std::string operatorCode;
  uint32_t registration = 4;  // "unknown" until ModemManager says otherwise
  uint32_t subscription = 0;
  for (const Glib::ustring& name : CachedNames(proxy)) {
    Glib::VariantBase value = Cached(proxy, name);
    if (name == "OperatorCode" && ReadString(value, &operatorCode)) {
      lgr->printf(6, "    %s:%s\r\n", name.c_str(), operatorCode.c_str());
    } else if (name == "RegistrationState" && ReadUint32(value, &registration)) {
      lgr->printf(6, "    %s:%d\r\n", name.c_str(), static_cast<int>(registration));
    } else if (name == "SubscriptionState" && ReadUint32(value, &subscription)) {
      lgr->printf(6, "    %s:%d\r\n", name.c_str(), static_cast<int>(subscription));
    }
  }
  GLOBAL_OPERATORCODE = operatorCode;
  GLOBAL_REG_STATE = registration;
  GLOBAL_SIM_SUB_STATE = subscription;
}

void ReadSignal(const Proxy& proxy) {
  LteSignal lte;
  for (const Glib::ustring& name : CachedNames(proxy)) {
    Glib::VariantBase value = Cached(proxy, name);
    uint32_t rate = 0;
    if (name == "Rate" && ReadUint32(value, &rate) && rate != kSignalRateSeconds) {
      RequestSignalRate(proxy);
    } else if (name == "Lte") {
      lte = ReadLteSignal(value);
    }
  }
  lgr->printf(6, "{lte : {rssi:%f, rsrq:%f, rsrp:%f, snr:%f}}\r\n", lte.rssi, lte.rsrq,
              lte.rsrp, lte.snr);
  GLOBAL_RSSI = lte.rssi;
  GLOBAL_RSRQ = lte.rsrq;
  GLOBAL_RSRP = lte.rsrp;
  GLOBAL_SNR = lte.snr;
}

}  // namespace

void on_dbus_modem_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result) {
  ModemBus::Finish(result, ReadManagedObjects);
}

void on_dbus_sim_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result) {
  ModemBus::Finish(result, ReadSim);
}

void on_dbus_3gpp_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result) {
  ModemBus::Finish(result, Read3gpp);
}

void on_dbus_signal_proxy_available(Glib::RefPtr<Gio::AsyncResult>& result) {
  ModemBus::Finish(result, ReadSignal);
}
