// cellular.conf and the identity files in /etc/ostrel/cell. The identity
// files are compared before they are written so that the flash is only
// touched when the IMEI or the SIM changes. Tested by
// tests/cellular_modem_test.cpp.
#include "modem/CellularModem.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include <jansson.h>

#include "core/base/CopyUnder.h"
#include "core/base/Globals.h"
#include "core/base/SettingsFile.h"
#include "core/base/Site.h"

namespace {

std::string CellPath(const char* name) { return PathIn(kCellularDirectory, name); }

// At most the first 64 bytes, up to the first NUL, without trailing " \n\r\t".
std::string StoredValue(const std::string& bytes) {
  std::string value(bytes.data(), strnlen(bytes.data(), std::min<size_t>(bytes.size(), 64)));
  const size_t end = value.find_last_not_of(" \n\r\t");
  value.erase(end == std::string::npos ? 0 : end + 1);
  return value;
}

// Slot from "slot" ("A" unless it is a string) and the APN of that slot, or
// the default APN when that key holds no string.
void ReadSlotAndApn(json_t* root, std::string* slot, std::string* apn) {
  json_t* value = json_object_get(root, "slot");
  *slot = json_is_string(value) ? json_string_value(value) : "A";
  lgr->printf(6, "Using Cellular Slot %s\n", slot->c_str());
  value = json_object_get(root, *slot == "B" ? "apn_b" : "apn");
  if (json_is_string(value)) {
    *apn = json_string_value(value);
    lgr->printf(6, "Setting Cellular APN to %s\n", apn->c_str());
  } else {
    *apn = kDefaultAPN;
  }
}

}  // namespace

int CellularModem::LoadConfigFromDisk(__cellular_cfg* cfg) {
  struct stat status = {};
  std::string apn = kDefaultAPN;
  std::string slot;
  int result = -1;
  json_t* root = LoadSettingsFile(lgr, CellPath(kCellularSettingsFile), &status);
  if (root != nullptr) {
    if (json_is_number(json_object_get(root, "version"))) {
      ReadSlotAndApn(root, &slot, &apn);
      result = 0;
    }
    json_decref(root);
  }
  std::lock_guard<std::mutex> hold(m_InfoLock);
  cfg->fileStatus = status;
  cfg->apn = apn;
  if (result == 0) cfg->slot = slot;
  return result;
}

int CellularModem::WriteConfigToDisk(char* json, unsigned int len) {
  return WriteSettingsFile(lgr, CellPath(kCellularSettingsFile), json, len);
}

int CellularModem::WriteIMEIToDisk() {
  return WriteIdentityFile(kImeiFile, CopyUnder(m_InfoLock, m_sIMEI));
}

int CellularModem::WriteSIMIDToDisk() {
  std::string simId, slot;
  {
    std::lock_guard<std::mutex> hold(m_InfoLock);
    simId = m_sSimId;
    slot = m_Config.slot;
  }
  return WriteIdentityFile(slot == "B" ? kSimIdSlotBFile : kSimIdFile, simId);
}

int CellularModem::WriteIdentityFile(const char* name, const std::string& value) {
  // The udev thread may have cleared the status since the caller checked it.
  if (value.empty()) return 0;
  const std::string path = CellPath(name);
  std::string stored;
  struct stat status;
  const int found = ReadSmallFile(lgr, path, &stored, &status);
  if (found == -1) MakeDirectory(kCellularDirectory);  // a failure shows at the write below
  if (found == 0 && StoredValue(stored) == value) return 0;
  return ReplaceSmallFile(lgr, path, value);
}
