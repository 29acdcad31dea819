#include "core/DaemonConfig.h"

#include <cmath>

#include "core/base/Clock.h"
#include "core/base/Globals.h"
#include "core/base/Schedules.h"
#include "core/base/SettingsFile.h"
#include "core/base/Site.h"

namespace {

const uint32_t kLargestInterval = 2147483647;  // deadlines are signed 32-bit

// Whole seconds of a JSON number: fraction dropped, negatives give 0.
uint32_t IntervalFromJson(json_t* value) {
  double seconds = json_is_integer(value)
                       ? static_cast<double>(json_integer_value(value))
                       : json_real_value(value);
  if (!(seconds > 0)) return 0;
  if (seconds >= kLargestInterval) return kLargestInterval;
  return static_cast<uint32_t>(std::floor(seconds));
}

}  // namespace

void ScheduleSettingsCheck(__cfg* cfg, int32_t now) {
  cfg->lastCheck = now;
  cfg->nextCheck = Clock::After(now, kSettingsCheckSeconds);
}

std::string DefaultDaemonSettings() {
  return "{\"interval\":" + std::to_string(kDefaultSummarySeconds) + "}";
}

std::string DaemonSettingsPath() {
  return PathIn(kDaemonSettingsDirectory, kDaemonSettingsFile);
}

int LoadConfigFromDisk(__cfg* cfg) {
  cfg->interval = kDefaultSummarySeconds;
  json_t* root = LoadSettingsFile(logger, DaemonSettingsPath(), &cfg->st);
  if (root == nullptr) return -1;

  json_t* interval = json_is_object(root) ? json_object_get(root, "interval") : nullptr;
  if (json_is_integer(interval) || json_is_real(interval)) {
    cfg->interval = IntervalFromJson(interval);
    logger->printf(6, "Setting Telematics Interval to %d\n",
                   static_cast<int>(cfg->interval));
  }
  json_decref(root);
  return 0;
}

int WriteConfigToDisk(char* text, unsigned int length) {
  return WriteSettingsFile(logger, DaemonSettingsPath(), text, length);
}

int CheckConfigChanged(__cfg* cfg) {
  struct stat now;
  if (stat(DaemonSettingsPath().c_str(), &now) != 0) return 0;
  if (now.st_mtim.tv_nsec != cfg->st.st_mtim.tv_nsec) return -1;
  if (now.st_mtim.tv_sec != cfg->st.st_mtim.tv_sec) return -1;
  return 0;
}
