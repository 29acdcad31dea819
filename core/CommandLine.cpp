#include "core/CommandLine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool ScanCommandLine(int argc, char** argv, uint8_t* level) {
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-d") == 0) {
      const char* value = (i + 1 < argc) ? argv[i + 1] : "0";
      *level = static_cast<uint8_t>(strtol(value, nullptr, 10) & 0xff);
    } else if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "?") == 0) {
      return true;
    }
  }
  return false;
}

void PrintHelp() {
  puts("wanvox [options]\r");
  puts("\t-d [level]        : Adjust debugging level\r");
  puts("\t--help or ?       : You are here\r");
  exit(1);
}
