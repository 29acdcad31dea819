"""A gateway's mount view: one private mount namespace with scratch directories over /var/log and /etc.

A small holder process makes the namespace once and then sleeps; every process started on the
gateway enters the holder's namespaces with nsenter, so they all share one view. Files of the
view are reached from the test through /proc/<holder>/root, which resolves paths inside it.
"""

import os
import subprocess

VAR_LOG_MODES = ("scratch", "missing", "readonly")

# $1 var_log mode, $2 scratch log dir, $3 overlay upper dir, $4 overlay work dir.
_HOLDER_SCRIPT = r"""
set -e
case "$1" in
  scratch)  mount --bind "$2" /var/log ;;
  readonly) mount --bind "$2" /var/log && mount -o remount,bind,ro /var/log ;;
  missing)  mount -t tmpfs -o mode=0755 tmpfs /var ;;
esac
mount -t overlay overlay -o lowerdir=/etc,upperdir="$3",workdir="$4" /etc
echo ready
exec sleep infinity
"""


class MountView:
    """Owns the holder process of one gateway's mount namespace."""

    def __init__(self, netns, scratch, var_log="scratch"):
        if var_log not in VAR_LOG_MODES:
            raise ValueError("var_log must be one of %s" % (VAR_LOG_MODES,))
        self.log_dir = os.path.join(scratch, "log")
        self.etc_upper = os.path.join(scratch, "etc-upper")
        etc_work = os.path.join(scratch, "etc-work")
        for d in (self.log_dir, self.etc_upper, etc_work):
            os.makedirs(d, exist_ok=True)
        stderr_path = os.path.join(scratch, "holder.err")
        with open(stderr_path, "wb") as err:
            self._holder = subprocess.Popen(
                ["ip", "netns", "exec", netns, "unshare", "-m", "--propagation", "private",
                 "sh", "-c", _HOLDER_SCRIPT, "holder", var_log, self.log_dir, self.etc_upper,
                 etc_work],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=err,
                start_new_session=True)
        line = self._holder.stdout.readline()
        self._holder.stdout.close()
        if line.strip() != b"ready":
            self.close()
            with open(stderr_path, "rb") as err:
                raise RuntimeError("mount view for %s failed: %s"
                                   % (netns, err.read().decode(errors="replace").strip()))

    @property
    def pid(self):
        return self._holder.pid

    def enter_command(self):
        """The command prefix that runs a program in the view and the gateway's network namespace."""
        return ["nsenter", "-t", str(self.pid), "-m", "-n", "--"]

    def path(self, p):
        """Host path showing absolute path `p` as the view sees it."""
        if not os.path.isabs(p):
            raise ValueError("path inside the view must be absolute: %r" % p)
        return "/proc/%d/root%s" % (self.pid, os.path.normpath(p))

    def close(self):
        if self._holder.poll() is None:
            self._holder.kill()
        self._holder.wait()
