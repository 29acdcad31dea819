// The daemon's settings file, /etc/ostrel/quarn/wanvox.conf. Called from the
// main thread only (start-up and the status publisher); no locks.
#ifndef WANVOX_CORE_DAEMONCONFIG_H_
#define WANVOX_CORE_DAEMONCONFIG_H_

#include <sys/stat.h>

#include <cstdint>
#include <string>

struct __cfg {
  struct stat st;      // file status taken just before the last load
  int32_t lastCheck;   // uptime of the last change check
  int32_t nextCheck;   // the next check runs once uptime exceeds this
  uint32_t interval;   // seconds between modem summaries; 0 turns them off
};

// Reads the file into |cfg|. Always resets the interval to
// kDefaultSummarySeconds first, so a failed load leaves that. Values above
// INT32_MAX are held at INT32_MAX.
// Returns 0 when the file parsed as JSON, -1 otherwise (no log line then).
int LoadConfigFromDisk(__cfg* cfg);

// Parses |length| bytes of JSON and writes them as the settings file.
// Returns -1 after logging "Error parsing json payload" when the text is not
// JSON; 0 otherwise, even if the file could not be written.
int WriteConfigToDisk(char* text, unsigned int length);

// Returns -1 when the file's modification time differs from the one
// recorded by the last load, 0 when it is the same or the file cannot be
// examined (nothing new could be loaded then).
int CheckConfigChanged(__cfg* cfg);

// Records the uptime |now| as the last change check and sets the next one
// kSettingsCheckSeconds later.
void ScheduleSettingsCheck(__cfg* cfg, int32_t now);

// What main writes when the file cannot be loaded at start:
// {"interval":60}, with kDefaultSummarySeconds.
std::string DefaultDaemonSettings();

// The file's path: kDaemonSettingsFile in kDaemonSettingsDirectory.
std::string DaemonSettingsPath();

#endif  // WANVOX_CORE_DAEMONCONFIG_H_
