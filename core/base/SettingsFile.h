// The settings files (wanvox.conf, cellular.conf) and the identity files
// (IMEI, SIMID, SIMID_B) and their directories: one checked way to read and
// to replace such a small file, the JSON reader and writer over it, and one
// way to make a directory. Any thread; each file has one thread that reads
// and writes it.
//
// Anything may sit at these paths: a FIFO, whose open() would wait for a
// peer for ever (at start, or in a thread that a stop then waits for), or a
// file of megabytes, which the JSON reader would hold in memory at once. So
// files are opened with O_NONBLOCK|O_CLOEXEC|O_NOCTTY and fstat'ed, and only
// a regular file (a symlink to one is followed) is read or written.
#ifndef WANVOX_CORE_BASE_SETTINGSFILE_H_
#define WANVOX_CORE_BASE_SETTINGSFILE_H_

#include <sys/stat.h>

#include <string>

#include <jansson.h>

#include "core/base/Log.h"

// The largest settings or identity file that is read.
constexpr off_t kLargestSettingsFile = 65536;

// Runs "mkdir -p <directory>" through system(). The result is not checked:
// a failure shows when a file in the directory cannot be written.
void MakeDirectory(const char* directory);

// Reads the whole of |path| into *contents and the opened file's status into
// *status. Returns 0; -1 when it cannot be opened (no log line; *status as
// stat() gives it, or left as it is when stat fails too); -2 when it is not
// a regular file or is larger than kLargestSettingsFile, after logging "Not
// reading <path>: not a regular file\n" or "Not reading <path>: larger than
// 65536 bytes\n" through |log| at priority 3 (*status then holds what was
// there).
int ReadSmallFile(Log* log, const std::string& path, std::string* contents, struct stat* status);

// Replaces the contents of |path| with |contents|, creating it when missing
// (0666 less the umask, as fopen does). Returns 0 when written, else -1.
// Something there that is not a regular file is left as it is, after "Not
// writing <path>: not a regular file\n" through |log| at priority 3; other
// failures log nothing. A symlink to a regular file is written through.
int ReplaceSmallFile(Log* log, const std::string& path, const std::string& contents);

// Logs "Loading Config from file <path>\n" through |log| and reads the file
// (ReadSmallFile, which stores its status in *status) and parses it.
// Returns the document, which the caller releases with json_decref, or
// nullptr when the file is missing, unreadable or not JSON (with no further
// log line than ReadSmallFile's).
json_t* LoadSettingsFile(Log* log, const std::string& path, struct stat* status);

// Parses |length| bytes of |text| and writes the document to |path|
// (ReplaceSmallFile). Not JSON: logs "Error parsing json payload\n" at
// priority 3, leaves the file as it is and returns -1. Else logs "Saving
// Config to file <path>\n" and returns 0, even when the file could not be
// written.
int WriteSettingsFile(Log* log, const std::string& path, const char* text, unsigned int length);

#endif  // WANVOX_CORE_BASE_SETTINGSFILE_H_
