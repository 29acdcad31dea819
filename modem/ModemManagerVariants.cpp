// The walk logs each value it takes in the modem log, so that a field report
// shows what ModemManager said. Tested by tests/modem_manager_test.cpp.
#include "modem/ModemManagerVariants.h"

#include <cstring>

#include "core/base/Globals.h"
#include "core/base/Site.h"

namespace {

const char* const kModemInterface = "org.freedesktop.ModemManager1.Modem";

bool HasType(GVariant* value, const char* type) {
  return g_variant_is_of_type(value, G_VARIANT_TYPE(type));
}

std::string CutRevision(const char* revision) {
  return std::string(revision, strcspn(revision, " \n\r\t"));
}

// "s" and "o" values: Model, Revision, DeviceIdentifier,
// EquipmentIdentifier, Sim. Returns false for any other name.
bool ReadTextProperty(const char* name, GVariant* value, ModemObject* modem) {
  std::string* target = nullptr;
  const char* type = "s";
  if (strcmp(name, "Model") == 0) target = &modem->model;
  if (strcmp(name, "Revision") == 0) target = &modem->revision;
  if (strcmp(name, "DeviceIdentifier") == 0) target = &modem->deviceId;
  if (strcmp(name, "EquipmentIdentifier") == 0) target = &modem->imei;
  if (strcmp(name, "Sim") == 0) {
    target = &modem->simPath;
    type = "o";
  }
  if (target == nullptr) return false;
  if (!HasType(value, type)) return true;
  const char* text = g_variant_get_string(value, nullptr);
  *target = strcmp(name, "Revision") == 0 ? CutRevision(text) : std::string(text);
  lgr->printf(6, "\t\t%s:%s\r\n", name, target->c_str());
  // ModemManager keeps Sim at the null object path when the slot is empty: no SIM to query.
  if (target == &modem->simPath && *target == "/") target->clear();
  return true;
}

void ReadOwnNumbers(const char* name, GVariant* value, ModemObject* modem) {
  if (!HasType(value, "as")) return;
  modem->phoneNumber.clear();
  if (g_variant_n_children(value) > 0) {
    GVariant* first = g_variant_get_child_value(value, 0);
    modem->phoneNumber = g_variant_get_string(first, nullptr);
    g_variant_unref(first);
  }
  lgr->printf(6, "\t\t%s:%s\r\n", name, modem->phoneNumber.c_str());
}

void ReadSignalQuality(const char* name, GVariant* value, ModemObject* modem) {
  if (!HasType(value, "(ub)")) return;
  gboolean recent = FALSE;
  g_variant_get(value, "(ub)", &modem->signalQuality, &recent);
  modem->signalRecent = recent != FALSE;
  lgr->printf(6, "\t\t%s:%d:%d\r\n", name, static_cast<int>(modem->signalQuality),
              modem->signalRecent ? 1 : 0);
}

void ReadCurrentBands(const char* name, GVariant* value, ModemObject* modem) {
  if (!HasType(value, "au")) return;
  modem->bands.clear();
  lgr->printf(6, "\t\t%s:", name);
  const gsize count = g_variant_n_children(value);
  for (gsize i = 0; i < count; ++i) {
    GVariant* band = g_variant_get_child_value(value, i);
    modem->bands.push_back(g_variant_get_uint32(band));
    g_variant_unref(band);
    lgr->printf(6, i + 1 < count ? "%d," : "%d", static_cast<int>(modem->bands.back()));
  }
  lgr->printf(6, "\r\n");
}

// "u" and "i" values: AccessTechnologies, StateFailedReason, State.
void ReadNumberProperty(const char* name, GVariant* value, ModemObject* modem) {
  if (strcmp(name, "State") == 0 && HasType(value, "i")) {
    modem->state = g_variant_get_int32(value);
    lgr->printf(6, "\t\t%s:%d\r\n", name, modem->state);
    return;
  }
  uint32_t* target = nullptr;
  if (strcmp(name, "AccessTechnologies") == 0) target = &modem->accessTechnologies;
  if (strcmp(name, "StateFailedReason") == 0) target = &modem->failedReason;
  if (target == nullptr || !HasType(value, "u")) return;
  *target = g_variant_get_uint32(value);
  lgr->printf(6, "\t\t%s:0x%x\r\n", name, *target);
}

void ReadModemProperty(const char* name, GVariant* value, ModemObject* modem) {
  if (ReadTextProperty(name, value, modem)) return;
  if (strcmp(name, "OwnNumbers") == 0) {
    ReadOwnNumbers(name, value, modem);
  } else if (strcmp(name, "SignalQuality") == 0) {
    ReadSignalQuality(name, value, modem);
  } else if (strcmp(name, "CurrentBands") == 0) {
    ReadCurrentBands(name, value, modem);
  } else {
    ReadNumberProperty(name, value, modem);
  }
}

// |interfaces| is "a{sa{sv}}"; only the Modem interface is read.
void ReadModemInterfaces(GVariant* interfaces, ModemObject* modem) {
  GVariantIter iter;
  const char* interface = nullptr;
  GVariant* properties = nullptr;
  g_variant_iter_init(&iter, interfaces);
  while (g_variant_iter_next(&iter, "{&s@a{sv}}", &interface, &properties)) {
    if (strcmp(interface, kModemInterface) == 0) {
      GVariantIter propertyIter;
      const char* name = nullptr;
      GVariant* value = nullptr;
      g_variant_iter_init(&propertyIter, properties);
      while (g_variant_iter_next(&propertyIter, "{&sv}", &name, &value)) {
        ReadModemProperty(name, value, modem);
        g_variant_unref(value);
      }
    }
    g_variant_unref(properties);
  }
}

}  // namespace

bool IsKnownModemModel(const std::string& model) {
  for (const char* known : kKnownModemModels) {
    if (model == known) return true;
  }
  return false;
}

ModemObject PickModemObject(const Glib::VariantBase& objects) {
  ModemObject modem;
  GVariant* dict = const_cast<GVariant*>(objects.gobj());
  if (dict == nullptr || !HasType(dict, "a{oa{sa{sv}}}")) return modem;
  GVariantIter iter;
  const char* path = nullptr;
  GVariant* interfaces = nullptr;
  g_variant_iter_init(&iter, dict);
  while (g_variant_iter_next(&iter, "{&o@a{sa{sv}}}", &path, &interfaces)) {
    modem = ModemObject();
    modem.path = path;
    lgr->printf(6, "    Path: %s\r\n", path);
    ReadModemInterfaces(interfaces, &modem);
    g_variant_unref(interfaces);
    if (IsKnownModemModel(modem.model)) break;
  }
  return modem;
}

LteSignal ReadLteSignal(const Glib::VariantBase& lte) {
  LteSignal signal;
  GVariant* dict = const_cast<GVariant*>(lte.gobj());
  if (dict == nullptr || !HasType(dict, "a{sv}")) return signal;
  GVariantIter iter;
  const char* key = nullptr;
  GVariant* value = nullptr;
  g_variant_iter_init(&iter, dict);
  while (g_variant_iter_next(&iter, "{&sv}", &key, &value)) {
    double* target = nullptr;
    if (strcmp(key, "rssi") == 0) target = &signal.rssi;
    if (strcmp(key, "rsrq") == 0) target = &signal.rsrq;
    if (strcmp(key, "rsrp") == 0) target = &signal.rsrp;
    if (strcmp(key, "snr") == 0) target = &signal.snr;
    if (target != nullptr && HasType(value, "d")) *target = g_variant_get_double(value);
    g_variant_unref(value);
  }
  return signal;
}

bool ReadString(const Glib::VariantBase& value, std::string* out) {
  GVariant* raw = const_cast<GVariant*>(value.gobj());
  if (raw == nullptr || !HasType(raw, "s")) return false;
  *out = g_variant_get_string(raw, nullptr);
  return true;
}

bool ReadUint32(const Glib::VariantBase& value, uint32_t* out) {
  GVariant* raw = const_cast<GVariant*>(value.gobj());
  if (raw == nullptr || !HasType(raw, "u")) return false;
  *out = g_variant_get_uint32(raw);
  return true;
}
