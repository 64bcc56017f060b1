#!/usr/bin/python3
"""Harness of the end-to-end runs: a private Xvfb and D-Bus session with the
accessibility bus, the processes started (each with everything it starts, all
stopped at the end), logs, screenshots, and waiting for a condition."""

import ctypes
import os
import shutil
import signal
import subprocess
import tempfile
import time


class Failure(Exception):
    pass


class Run:
    """Processes, files and screenshots of one run."""

    def __init__(self, args):
        self.args = args
        self.out = os.path.abspath(args.out)
        self.shots = os.path.join(self.out, "e2e-shots")
        os.makedirs(self.shots, exist_ok=True)
        for name in os.listdir(self.shots):
            if name.endswith(".png"):
                os.remove(os.path.join(self.shots, name))
        self.tmp = tempfile.mkdtemp(prefix="tarvo-e2e-")  # mode 0700
        self.procs = []   # (name, Popen)
        self.last_shot = None
        self.shot_no = 0
        self.env = dict(os.environ)
        self.t0 = time.monotonic()

    # -- processes ---------------------------------------------------------

    def start(self, name, argv, **kw):
        libc = ctypes.CDLL("libc.so.6", use_errno=True)

        def die_with_parent():
            # PR_SET_PDEATHSIG: if this driver is killed outright, the child
            # goes too.
            libc.prctl(1, signal.SIGKILL)
        log = open(os.path.join(self.out, "e2e-%s.log" % name), "wb")
        kw.setdefault("stdout", log)
        kw.setdefault("stderr", log)
        env = kw.pop("env", self.env)
        p = subprocess.Popen(argv, env=env, preexec_fn=die_with_parent,
                             start_new_session=True, **kw)
        self.procs.append((name, p))
        return p

    def descendants(self, pid):
        children = {}
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % entry) as f:
                    stat = f.read()
                ppid = int(stat[stat.rindex(")") + 2:].split()[1])
            except (OSError, ValueError, IndexError):
                continue
            children.setdefault(ppid, []).append(int(entry))
        found, todo = [], [pid]
        while todo:
            for c in children.get(todo.pop(), []):
                found.append(c)
                todo.append(c)
        return found

    def stop_all(self):
        # Last started first; each process with everything it started.
        for name, p in reversed(self.procs):
            if p.poll() is not None:
                continue
            pids = self.descendants(p.pid) + [p.pid]
            for sig in (signal.SIGTERM, signal.SIGKILL):
                for pid in pids:
                    try:
                        os.kill(pid, sig)
                    except ProcessLookupError:
                        pass
                try:
                    p.wait(timeout=3)
                    break
                except subprocess.TimeoutExpired:
                    continue
            # Grandchildren that outlived their parent.
            for pid in pids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        self.procs = []
        shutil.rmtree(self.tmp, ignore_errors=True)

    # -- reporting ---------------------------------------------------------

    def log(self, text):
        print("[%6.1fs] %s" % (time.monotonic() - self.t0, text), flush=True)

    def shot(self, label):
        self.shot_no += 1
        path = os.path.join(self.shots, "%02d-%s.png" % (self.shot_no, label))
        r = subprocess.run(["import", "-window", "root", path], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20)
        if r.returncode == 0:
            self.last_shot = path
        return path


def fail(expected, seen):
    raise Failure("expected: %s\n     seen: %s" % (expected, seen))


def wait_until(what, predicate, timeout=10.0, interval=0.1):
    """Polls predicate until it returns a true value; fails after timeout."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            value = predicate()
            if value:
                return value
            last = value
        except Failure:
            raise
        except Exception as e:  # an AT-SPI call into a busy program
            last = "%s: %s" % (type(e).__name__, e)
        if time.monotonic() > deadline:
            fail("%s (within %.0f s)" % (what, timeout), last)
        time.sleep(interval)


def start_x(run, size):
    r, w = os.pipe()
    run.start("xvfb", ["Xvfb", "-displayfd", str(w), "-screen", "0", "%sx24" % size,
                       "-nolisten", "tcp", "-noreset"], pass_fds=(w,))
    os.close(w)
    number = b""
    deadline = time.monotonic() + 20
    while not number.endswith(b"\n"):
        if time.monotonic() > deadline:
            fail("Xvfb to report its display number", number)
        chunk = os.read(r, 16)
        if not chunk:
            fail("Xvfb to report its display number", "Xvfb ended; see e2e-xvfb.log")
        number += chunk
    os.close(r)
    run.env["DISPLAY"] = ":" + number.decode().strip()


def start_dbus(run):
    p = run.start("dbus", ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                  stdout=subprocess.PIPE)
    line = p.stdout.readline().decode().strip()
    if not line:
        fail("dbus-daemon to print its address", "nothing")
    run.env["DBUS_SESSION_BUS_ADDRESS"] = line


def prepare_session(run, env):
    """Private folders (HOME and every XDG folder) and `env` for the programs,
    then Xvfb at the size asked for and a D-Bus session; this process then
    reaches both through its own environment (the accessibility bindings look
    there)."""
    xdg = os.path.join(run.tmp, "runtime")
    os.mkdir(xdg, 0o700)
    home = os.path.join(run.tmp, "home")
    os.mkdir(home)
    run.env.update({
        "HOME": home,
        "XDG_RUNTIME_DIR": xdg,
        "XDG_STATE_HOME": os.path.join(run.tmp, "state"),
        "XDG_CONFIG_HOME": os.path.join(run.tmp, "config"),
        "XDG_CACHE_HOME": os.path.join(run.tmp, "cache"),
        "XDG_DATA_HOME": os.path.join(run.tmp, "data"),
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        "QT_ACCESSIBILITY": "1",
        "NO_AT_BRIDGE": "0",
        "LC_ALL": "C.UTF-8",
        "ASAN_OPTIONS": "detect_leaks=0",
    })
    run.env.update(env)
    run.env.pop("QT_QPA_PLATFORM", None)
    run.env.pop("WAYLAND_DISPLAY", None)
    start_x(run, run.args.size)
    start_dbus(run)
    for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
        os.environ[k] = run.env[k]
    # The file dialogs open on the program's working folder: a quiet one, so
    # that they do not follow a busy /tmp.
    run.maps = os.path.join(run.tmp, "maps")
    os.mkdir(run.maps)


def run_main(run, body, name="E2E", before_stop=None):
    """Runs body() under the harness: a time-out signal fails the run, a
    failure is reported with the last screenshot, and every process started
    is stopped at the end. Returns the exit status."""
    def on_term(signum, frame):
        raise Failure("stopped by signal %d (time-out)" % signum)
    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGINT, on_term)
    status = 1
    try:
        body()
        status = 0
    except Failure as e:
        print("%s FAILURE: %s" % (name, e), flush=True)
        if run.env.get("DISPLAY"):
            try:
                run.shot("failure")
            except Exception:
                pass
        print("last screenshot: %s" % run.last_shot, flush=True)
        print("logs: %s/e2e-*.log" % run.out, flush=True)
    except Exception:
        import traceback
        traceback.print_exc()
        print("last screenshot: %s" % run.last_shot, flush=True)
    finally:
        if before_stop:
            before_stop()
        run.stop_all()
    return status
