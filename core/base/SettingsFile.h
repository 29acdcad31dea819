// The JSON settings files (wanvox.conf, cellular.conf) and their
// directories: one reader, one writer, one way to make a directory. Any
// thread; each file has one thread that reads and writes it.
#ifndef WANVOX_CORE_BASE_SETTINGSFILE_H_
#define WANVOX_CORE_BASE_SETTINGSFILE_H_

#include <sys/stat.h>

#include <string>

#include <jansson.h>

#include "core/base/Log.h"

// Runs "mkdir -p <directory>" through system(). The result is not checked:
// a failure shows when a file in the directory cannot be written.
void MakeDirectory(const char* directory);

// Logs "Loading Config from file <path>\n" through |log|, stores the file's
// status in *status (left as it is when stat fails) and parses the file.
// Returns the document, which the caller releases with json_decref, or
// nullptr when the file is missing or not JSON (with no further log line).
json_t* LoadSettingsFile(Log* log, const std::string& path, struct stat* status);

// Parses |length| bytes of |text| and writes the document to |path|. Not
// JSON: logs "Error parsing json payload\n" at priority 3, leaves the file
// as it is and returns -1. Else logs "Saving Config to file <path>\n" and
// returns 0, even when the file could not be written.
int WriteSettingsFile(Log* log, const std::string& path, const char* text, unsigned int length);

#endif  // WANVOX_CORE_BASE_SETTINGSFILE_H_
