// Tested by tests/daemon_config_test.cpp (also through DaemonConfig) and
// through CellularModem by tests/cellular_modem_test.cpp.
#include "core/base/SettingsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

const int kOpenFlags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

// Up to kLargestSettingsFile + 1 bytes of |fd| into *contents, so that a
// file that grew after fstat still shows as too large. Returns false on a
// read error.
bool ReadUpToLimit(int fd, std::string* contents) {
  contents->resize(kLargestSettingsFile + 1);
  size_t got = 0;
  while (got < contents->size()) {
    const ssize_t count = read(fd, &(*contents)[got], contents->size() - got);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    if (count == 0) break;
    got += static_cast<size_t>(count);
  }
  contents->resize(got);
  return true;
}

bool WriteAll(int fd, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t count = write(fd, contents.data() + done, contents.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

// Reads the opened file at |fd| whose status is |opened|. Returns 0; -1 on a
// read error; -2 after logging why it is not read.
int ReadOpened(Log* log, const std::string& path, int fd, const struct stat& opened,
               std::string* contents) {
  if (!S_ISREG(opened.st_mode)) {
    log->printf(3, "Not reading %s: not a regular file\n", path.c_str());
    return -2;
  }
  if (opened.st_size <= kLargestSettingsFile) {
    if (!ReadUpToLimit(fd, contents)) return -1;
    if (contents->size() <= static_cast<size_t>(kLargestSettingsFile)) return 0;
  }
  log->printf(3, "Not reading %s: larger than %ld bytes\n", path.c_str(),
              static_cast<long>(kLargestSettingsFile));
  return -2;
}

}  // namespace

void MakeDirectory(const char* directory) {
  const std::string command = std::string("mkdir -p ") + directory;
  const int ignored = system(command.c_str());
  (void)ignored;
}

int ReadSmallFile(Log* log, const std::string& path, std::string* contents, struct stat* status) {
  const int fd = open(path.c_str(), O_RDONLY | kOpenFlags);
  if (fd < 0) {
    stat(path.c_str(), status);  // a change check then sees no change until the next one
    return -1;
  }
  struct stat opened;
  int result = -1;
  if (fstat(fd, &opened) == 0) {
    *status = opened;
    result = ReadOpened(log, path, fd, opened, contents);
  }
  close(fd);
  return result;
}

int ReplaceSmallFile(Log* log, const std::string& path, const std::string& contents) {
  // Without O_TRUNC, nothing changes before the check. A FIFO without a
  // reader fails the open (ENXIO), a directory too (EISDIR): stat says why.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | kOpenFlags, 0666);
  struct stat found;
  const bool examined = fd >= 0 ? fstat(fd, &found) == 0 : stat(path.c_str(), &found) == 0;
  int result = -1;
  if (examined && !S_ISREG(found.st_mode)) {
    log->printf(3, "Not writing %s: not a regular file\n", path.c_str());
  } else if (fd >= 0 && ftruncate(fd, 0) == 0 && WriteAll(fd, contents)) {
    result = 0;
  }
  if (fd >= 0) close(fd);
  return result;
}

json_t* LoadSettingsFile(Log* log, const std::string& path, struct stat* status) {
  log->printf(6, "Loading Config from file %s\n", path.c_str());
  std::string text;
  if (ReadSmallFile(log, path, &text, status) != 0) return nullptr;
  json_error_t error;
  return json_loadb(text.data(), text.size(), 0, &error);
}

int WriteSettingsFile(Log* log, const std::string& path, const char* text, unsigned int length) {
  json_error_t error;
  json_t* root = json_loadb(text, length, 0, &error);
  if (root == nullptr) {
    log->printf(3, "Error parsing json payload\n");
    return -1;
  }
  log->printf(6, "Saving Config to file %s\n", path.c_str());
  char* dumped = json_dumps(root, 0);  // the bytes json_dump_file would write
  json_decref(root);
  if (dumped != nullptr) ReplaceSmallFile(log, path, dumped);
  free(dumped);
  return 0;
}
