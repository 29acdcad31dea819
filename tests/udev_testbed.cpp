// hotplug_tests runs under the umockdev preload, which points libudev's /sys and uevent
// sockets into the testbed a test creates. The preload must be in place when the program
// starts, so the program starts itself again with it, before main and before any test.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace {

// glibc hands constructors the program's arguments.
__attribute__((constructor)) void RestartUnderPreload(int, char** argv, char**) {
  const char* preload = getenv("LD_PRELOAD");
  if (preload != nullptr && strstr(preload, "libumockdev-preload") != nullptr) return;
  std::string preloads = "libumockdev-preload.so.0";
  if (preload != nullptr) preloads = preloads + ":" + preload;
  // ASan insists on coming first in the library list; the preload comes first.
  std::string asan = "verify_asan_link_order=0";
  if (const char* old = getenv("ASAN_OPTIONS")) asan = std::string(old) + ":" + asan;
  setenv("LD_PRELOAD", preloads.c_str(), 1);
  setenv("ASAN_OPTIONS", asan.c_str(), 1);
  fflush(nullptr);
  execv("/proc/self/exe", argv);
  perror("restart under the umockdev preload");
}

}  // namespace
