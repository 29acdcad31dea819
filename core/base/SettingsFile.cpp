// Tested through its callers by tests/daemon_config_test.cpp and
// tests/cellular_modem_test.cpp.
#include "core/base/SettingsFile.h"

#include <cstdlib>

void MakeDirectory(const char* directory) {
  const std::string command = std::string("mkdir -p ") + directory;
  const int ignored = system(command.c_str());
  (void)ignored;
}

json_t* LoadSettingsFile(Log* log, const std::string& path, struct stat* status) {
  log->printf(6, "Loading Config from file %s\n", path.c_str());
  stat(path.c_str(), status);
  json_error_t error;
  return json_load_file(path.c_str(), 0, &error);
}

int WriteSettingsFile(Log* log, const std::string& path, const char* text, unsigned int length) {
  json_error_t error;
  json_t* root = json_loadb(text, length, 0, &error);
  if (root == nullptr) {
    log->printf(3, "Error parsing json payload\n");
    return -1;
  }
  log->printf(6, "Saving Config to file %s\n", path.c_str());
  json_dump_file(root, path.c_str(), 0);
  json_decref(root);
  return 0;
}
