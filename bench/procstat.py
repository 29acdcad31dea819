"""What bench/wakeups and bench/soak read from /proc about a process and the machine."""

import os

CLOCK_TICK = os.sysconf("SC_CLK_TCK")


def _fields(path):
    with open(path) as f:
        return dict(line.split(":", 1) for line in f if ":" in line)


def status_kb(pid, key):
    """A kB figure of /proc/PID/status (VmRSS, RssAnon, VmHWM ...)."""
    return int(_fields("/proc/%d/status" % pid)[key].split()[0])


def cpu_seconds(pid):
    """User + system CPU time of the whole process, threads that have ended included."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICK


def task_switches(pid):
    """{tid: (name, voluntary, involuntary)} of the threads alive now."""
    tasks = {}
    task_dir = "/proc/%d/task" % pid
    for tid in os.listdir(task_dir):
        try:
            fields = _fields(os.path.join(task_dir, tid, "status"))
        except (FileNotFoundError, ProcessLookupError):
            continue  # ended while we looked
        tasks[int(tid)] = (fields["Name"].strip(), int(fields["voluntary_ctxt_switches"]),
                           int(fields["nonvoluntary_ctxt_switches"]))
    return tasks


class ThreadSampler:
    """Context switches of every thread of a process over a window, from samples of
    /proc/PID/task. A thread's counters start at 0 when it is born, so one born in the window
    counts whole from its first sample; what a thread does between its last sample and its end
    is lost, and a thread that lives less than one sample period is not seen at all."""

    def __init__(self, pid):
        self.pid = pid
        self.first = task_switches(pid)
        self.last = dict(self.first)
        self.born = set()

    def sample(self):
        for tid, counts in task_switches(self.pid).items():
            if tid not in self.first and tid not in self.born:
                self.born.add(tid)
            self.last[tid] = counts

    def by_name(self):
        """{name: [voluntary, involuntary, threads seen, threads born]} over the window."""
        result = {}
        for tid, (name, voluntary, involuntary) in self.last.items():
            _, voluntary0, involuntary0 = self.first.get(tid, (name, 0, 0))
            row = result.setdefault(name, [0, 0, 0, 0])
            row[0] += voluntary - voluntary0
            row[1] += involuntary - involuntary0
            row[2] += 1
            row[3] += tid in self.born
        return result

    def ended(self):
        """Threads seen in the window that are gone now."""
        alive = set(task_switches(self.pid))
        return len(set(self.last) - alive)


def fd_count(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def thread_count(pid):
    return len(os.listdir("/proc/%d/task" % pid))


def time_wait_sockets(pid):
    """TCP sockets in TIME_WAIT in the network namespace of `pid`: what `ss -tan state
    time-wait` counts there, read from the namespace's own tables."""
    count = 0
    for table in ("tcp", "tcp6"):
        try:
            with open("/proc/%d/net/%s" % (pid, table)) as f:
                count += sum(1 for line in list(f)[1:] if line.split()[3] == "06")
        except FileNotFoundError:
            pass
    return count


def machine_cpu():
    """(busy, total) CPU seconds of the whole machine since boot, from /proc/stat."""
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    idle = values[3] + values[4]  # idle + iowait
    return (sum(values[:8]) - idle) / CLOCK_TICK, sum(values[:8]) / CLOCK_TICK


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])
