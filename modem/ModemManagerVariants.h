// Readers of the values ModemManager sends over D-Bus (GVariant trees),
// kept apart from the proxies so they can be fed parsed text in tests.
// Modem thread (they log through `lgr`); no lock.
#ifndef WANVOX_MODEM_MODEMMANAGERVARIANTS_H_
#define WANVOX_MODEM_MODEMMANAGERVARIANTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include <glibmm/variant.h>

// One managed object's "org.freedesktop.ModemManager1.Modem" properties.
// Missing properties, and values of another D-Bus type, keep these defaults.
struct ModemObject {
  std::string path;
  std::string model;
  std::string revision;        // up to the first blank, tab, CR or LF
  std::string deviceId;
  std::string imei;
  std::string phoneNumber;     // first of OwnNumbers
  std::string simPath;         // empty for the null object path "/"
  uint32_t signalQuality = 0;
  bool signalRecent = false;
  uint32_t accessTechnologies = 0;
  int32_t state = 0;
  uint32_t failedReason = 0;
  std::vector<uint32_t> bands;
};

// The modems ModemManager knows by model; the walk prefers them.
bool IsKnownModemModel(const std::string& model);

// Walks a GetManagedObjects dictionary ("a{oa{sa{sv}}}") in order, logging
// each path and each property taken, and returns the first object with a
// known model, else the last one, else (no entries, or a value of another
// type) an empty object.
ModemObject PickModemObject(const Glib::VariantBase& objects);

// The "Lte" dictionary of the Signal interface ("a{sv}" with "d" values);
// missing keys stay 0.0.
struct LteSignal {
  double rssi = 0.0;
  double rsrq = 0.0;
  double rsrp = 0.0;
  double snr = 0.0;
};
LteSignal ReadLteSignal(const Glib::VariantBase& lte);

// Each stores the value and returns true only when |value| has the D-Bus
// type "s" or "u" respectively; otherwise |out| is left alone.
bool ReadString(const Glib::VariantBase& value, std::string* out);
bool ReadUint32(const Glib::VariantBase& value, uint32_t* out);

#endif  // WANVOX_MODEM_MODEMMANAGERVARIANTS_H_
