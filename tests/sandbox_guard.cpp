// Linked into every test, fuzz and benchmark program. Run by hand on a
// gateway, a test program would rotate /var/log/wanvox and /var/log/modem
// while its static loggers are built, and rewrite /etc/ostrel. So before any
// other static initialiser it checks that it runs in the mount namespace
// tests/sandboxed made: /var/log is a mount point there and holds a marker
// naming that very namespace (an environment variable could be inherited).
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

namespace {

bool VarLogIsAMountPoint() {
  FILE* mounts = fopen("/proc/self/mountinfo", "re");
  char line[4096], point[4096];
  bool found = false;
  while (mounts != nullptr && !found && fgets(line, sizeof(line), mounts) != nullptr) {
    found = sscanf(line, "%*s %*s %*s %*s %4095s", point) == 1 && strcmp(point, "/var/log") == 0;
  }
  if (mounts != nullptr) fclose(mounts);
  return found;
}

bool InSandbox() {
  char own[64] = "", marked[64] = "";
  FILE* marker = fopen("/var/log/.wanvox-sandbox", "re");
  if (marker == nullptr) return false;
  if (fgets(marked, sizeof(marked), marker) == nullptr) marked[0] = '\0';
  fclose(marker);
  marked[strcspn(marked, "\n")] = '\0';
  return readlink("/proc/self/ns/mnt", own, sizeof(own) - 1) > 0 && strcmp(own, marked) == 0 &&
         VarLogIsAMountPoint();
}

// 101, the first priority left to programs: before every other static object.
__attribute__((constructor(101))) void RefuseToRunOutsideTheSandbox() {
  if (InSandbox()) return;
  fprintf(stderr,
          "%s: refusing to run outside its sandbox (it would rotate /var/log and write "
          "/etc/ostrel); run it through ctest or tests/sandboxed\n",
          program_invocation_short_name);
  _exit(2);
}

}  // namespace
