#!/bin/sh
# Runs each test program by hand, as a new user on a gateway would: each must
# refuse with its one line and leave the sentinel logs and settings byte for
# byte as they were. In a scratch mount namespace of its own (tmpfs over
# /var/log, an overlay over /etc) where /var/log is a mount point, a marker
# names another namespace and WANVOX_SANDBOXED=1 is set: none of that counts.
# Usage: tests/sandbox_guard_test.sh <program>...  (WANVOX_TEST_EMULATOR: qemu)
set -eu
if [ "$(readlink /proc/self/ns/mnt)" = "$(readlink /proc/$PPID/ns/mnt)" ]; then
  scratch=$(mktemp -d /tmp/wanvox-guard.XXXXXX)
  status=0
  GUARD_SCRATCH=$scratch unshare -m --propagation private "$0" "$@" || status=$?
  rmdir "$scratch"
  exit "$status"
fi

# From here on inside the scratch namespace; nothing below reaches the host.
mount -t tmpfs tmpfs "$GUARD_SCRATCH"
mkdir "$GUARD_SCRATCH/up" "$GUARD_SCRATCH/work"
mount -t tmpfs tmpfs /var/log
mount -t overlay overlay \
  -o "lowerdir=/etc,upperdir=$GUARD_SCRATCH/up,workdir=$GUARD_SCRATCH/work" /etc
mkdir -p /etc/ostrel/quarn
echo "the gateway's own log" > /var/log/wanvox
echo "the gateway's own modem log" > /var/log/modem
echo '{"interval": 42}' > /etc/ostrel/quarn/wanvox.conf
readlink /proc/$PPID/ns/mnt > /var/log/.wanvox-sandbox

# Every entry of /var/log and change to /etc, and the sentinels' checksums.
state() {
  find /var/log "$GUARD_SCRATCH/up" -printf '%p %y %s %T@\n' | sort
  sha256sum /var/log/wanvox /var/log/modem /etc/ostrel/quarn/wanvox.conf
}
failed=0
for program in "$@"; do
  state > "$GUARD_SCRATCH/before"
  name=$(basename "$program")
  expected="$name: refusing to run outside its sandbox (it would rotate /var/log and write"
  expected="$expected /etc/ostrel); run it through ctest or tests/sandboxed"
  code=0
  out=$(WANVOX_SANDBOXED=1 ${WANVOX_TEST_EMULATOR:-} "$program" 2>&1 </dev/null) || code=$?
  if [ "$code" -eq 0 ] || [ "$out" != "$expected" ]; then
    echo "FAIL $name: exit status $code, output:"; echo "$out"; failed=1
  elif ! state | diff "$GUARD_SCRATCH/before" -; then
    echo "FAIL $name changed /var/log or /etc (above)"; failed=1
  else
    echo "ok   $name refuses: $out"
  fi
done
exit "$failed"
