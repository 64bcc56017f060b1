#!/usr/bin/python3
"""End-to-end run of the real tarvo-gui against variator-sim, driven from outside.

Starts a private Xvfb, a private D-Bus session with the accessibility bus,
variator-sim on COM 7 and tarvo-gui, then works the window as a user would:
controls are found through AT-SPI by role and name, and every click and key
is real X input from xdotool at the control's on-screen place, so nothing
depends on the screen size. Message boxes are read from their labels and
answered with OK. The simulator's stored values and the saved map file are
checked against what was edited.

Usage: e2e_driver.py --gui PATH --sim PATH --out DIR [--size WxH]
Needs Debian's python3 with python3-pyatspi, python3-xlib, Xvfb, xdotool,
dbus-daemon, at-spi2-core and imagemagick's import.
"""

import argparse
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

PORT = 7
MAP_POINTS = 80
LPG_FIRST = 80
PETROL_FIRST = 0
FIRMWARE = 160
START_TIMEOUT = 166

# What the simulator holds at start (thousandths of a degree for map points).
START_LPG = [10000 + 50 * i for i in range(MAP_POINTS)]      # 10.0 .. 13.95
START_PETROL = [5000 + 25 * i for i in range(MAP_POINTS)]    # 5.0 .. 6.975
START_TIMEOUT_VALUE = 5
FIRMWARE_VALUE = 321

CONNECTED = "Подключен"
NOT_CONNECTED = "Не подключен"
ERROR_CAPTION = "Tarvo GUI"


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


RUN = None


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


# ---------------------------------------------------------------------------
# X input

def xdo(*argv):
    r = subprocess.run(["xdotool"] + [str(a) for a in argv], env=RUN.env,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=20, text=True)
    if r.returncode != 0:
        fail("xdotool %s to succeed" % " ".join(map(str, argv)), r.stderr.strip())
    return r.stdout


def pointer():
    out = xdo("getmouselocation", "--shell")
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(values["X"]), int(values["Y"])


def move_to(x, y):
    # Not "mousemove --sync": that waits for a motion, and there is none when
    # the pointer is already there.
    xdo("mousemove", x, y)
    wait_until("the pointer at %d, %d" % (x, y), lambda: pointer() == (x, y), 5, 0.05)
    time.sleep(0.05)


def click_at(x, y):
    move_to(x, y)
    xdo("click", "1")
    time.sleep(0.15)


def key(*names):
    xdo("key", "--delay", "40", *names)
    time.sleep(0.15)


def type_text(text):
    if text:
        xdo("type", "--delay", "30", "--", text)
    time.sleep(0.15)


# ---------------------------------------------------------------------------
# AT-SPI

pyatspi = None
APP_PID = None


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        try:
            if a is not None and a.get_process_id() == APP_PID:
                return a
        except Exception:
            continue
    return None


def role(a):
    return a.getRoleName()


def showing(a):
    try:
        return a.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def extents(a):
    e = a.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def centre(a):
    x, y, w, h = extents(a)
    if w <= 0 or h <= 0:
        fail("a visible %s '%s'" % (role(a), a.name), "extents %s" % ((x, y, w, h),))
    return x + w // 2, y + h // 2


# Roles whose children are not walked: the port list (254 items) and tables
# (read through their table interface).
LEAF_ROLES = {"list", "table", "list item", "table cell"}


def find_all(root, want_role=None, name=None, only_showing=True):
    found = []

    def walk(a):
        r = role(a)
        if (want_role is None or r == want_role) and (name is None or a.name == name):
            if not only_showing or showing(a):
                found.append(a)
        if r in LEAF_ROLES:
            return
        for i in range(a.childCount):
            c = a.getChildAtIndex(i)
            if c is not None:
                walk(c)
    walk(root)
    return found


def find(root, want_role, name=None, timeout=10.0):
    return wait_until("a showing %s%s" % (want_role, "" if name is None else " '%s'" % name),
                      lambda: (find_all(root, want_role, name) or [None])[0], timeout)


def main_frame():
    a = app()
    if a is None:
        return None
    for i in range(a.childCount):
        w = a.getChildAtIndex(i)
        if w is not None and role(w) == "frame" and w.name == "Tarvo GUI":
            return w
    return None


def top_windows(roles=("alert", "dialog")):
    a = app()
    result = []
    if a is None:
        return result
    for i in range(a.childCount):
        w = a.getChildAtIndex(i)
        if w is not None and role(w) in roles and showing(w):
            result.append(w)
    return result


def text_of(a):
    t = a.queryText()
    return t.getText(0, -1)


def click(a):
    x, y = centre(a)
    click_at(x, y)


# ---------------------------------------------------------------------------
# Message boxes

def box_text(w):
    labels = [l.name for l in find_all(w, "label") if l.name]
    return "\n".join(labels)


def answer_box(caption, expected, timeout=15.0, match=None):
    """Waits for a box captioned `caption`, checks its text and presses OK."""
    def box():
        ws = top_windows()
        return ws[0] if ws else None
    w = wait_until("a message box '%s' with '%s'" % (caption, expected), box, timeout)
    seen = box_text(w)
    ok = (match(seen) if match else seen == expected)
    RUN.shot("box")
    if w.name != caption or not ok:
        fail("box captioned '%s' with text '%s'" % (caption, expected),
             "box captioned '%s' with text '%s'" % (w.name, seen))
    # One button; under a Russian locale Qt's own translation names it "ОК".
    buttons = wait_until("the box's button", lambda: find_all(w, "push button"), 10)
    if len(buttons) != 1 or buttons[0].name not in ("OK", "ОК"):
        fail("one OK button", [b.name for b in buttons])
    click(buttons[0])
    wait_until("the box '%s' to close" % seen, lambda: not top_windows(), 10)
    return seen


def expect_message(text, timeout=15.0):
    RUN.log("  message: %s" % text)
    return answer_box("Message", text, timeout)


def expect_error(text, timeout=15.0, match=None):
    RUN.log("  error box: %s" % text)
    return answer_box(ERROR_CAPTION, text, timeout, match)


def expect_no_box(settle=1.0):
    time.sleep(settle)
    ws = top_windows()
    if ws:
        fail("no message box", "box '%s': %s" % (ws[0].name, box_text(ws[0])))


# ---------------------------------------------------------------------------
# The window

class Window:
    def __init__(self, frame):
        self.frame = frame

    def button(self, name):
        return find(self.frame, "push button", name)

    def menu(self, title, item):
        bar = find(self.frame, "menu bar")
        click(find(bar, "menu item", title))

        def entry():
            for m in find_all(bar, "menu item", item):
                x, y, w, h = extents(m)
                if w > 0 and h > 0 and y >= 0:
                    return m
            return None
        click(wait_until("menu item '%s' on screen" % item, entry, 10))

    def page(self, caption):
        tab = find(self.frame, "page tab", caption)
        # The tab list is named after its current tab.
        tabs = find(self.frame, "page tab list")
        # The first click after a file dialog was closed with Return while its
        # name completion list was open is swallowed by that list; it is
        # given again.
        for attempt in range(3):
            click(tab)
            try:
                wait_until("page '%s' selected" % caption, lambda: tabs.name == caption, 3)
                break
            except Failure:
                RUN.log("  (tab '%s' did not take the click; again)" % caption)
                if attempt == 2:
                    raise
        time.sleep(0.2)

    def port_edit(self):
        combo = find(self.frame, "combo box")
        return find(combo, "text")

    def set_edit(self, edit, text):
        click(edit)
        key("ctrl+a")
        key("BackSpace")
        type_text(text)
        wait_until("the edit box to read '%s'" % text, lambda: text_of(edit) == text, 5)

    def status(self):
        """Caption of the status label, or None while it is hidden."""
        for l in find_all(self.frame, "label", only_showing=True):
            if l.name in (CONNECTED, NOT_CONNECTED):
                return l.name
        return None

    def busy(self):
        bars = find_all(self.frame, "progress bar", only_showing=True)
        return bool(bars)

    def grid(self):
        tables = find_all(self.frame, "table", only_showing=True)
        if len(tables) != 1:
            fail("one showing table", "%d" % len(tables))
        return tables[0]

    def grid_texts(self):
        """The 80 data cell texts of the showing grid, in point order."""
        t = self.grid().queryTable()
        texts = []
        for i in range(MAP_POINTS):
            col, row = i // 10 + 1, i % 10 + 1
            texts.append(t.getAccessibleAt(row, col).name)
        return texts

    def grid_cell(self, i):
        t = self.grid().queryTable()
        return t.getAccessibleAt(i % 10 + 1, i // 10 + 1)

    def settings_edits(self):
        edits = [e for e in find_all(self.frame, "text") if e not in find_all(find(self.frame, "combo box"), "text")]
        # Sorted top to bottom: start timeout, then firmware version.
        edits.sort(key=lambda e: extents(e)[1])
        if len(edits) != 2:
            fail("two edit boxes on the settings page", "%d" % len(edits))
        return edits


def general(value):
    """The program's number text with the point separator (15 significant digits)."""
    text = "%.15g" % value
    if "e" in text:
        mantissa, exponent = text.split("e")
        text = "%sE%s" % (mantissa, int(exponent))
    return text


def check_grid(win, expected_thousandths, what):
    want = [general(v / 1000.0) for v in expected_thousandths]
    seen = wait_until("%s grid loaded" % what, lambda: win.grid_texts() if win.grid_texts()[0] else None, 10)
    if seen != want:
        diffs = [(i, want[i], seen[i]) for i in range(MAP_POINTS) if want[i] != seen[i]]
        fail("%s grid %s" % (what, [d[1] for d in diffs[:6]]),
             "%s at points %s (%d differ)" % ([d[2] for d in diffs[:6]], [d[0] for d in diffs[:6]], len(diffs)))


# ---------------------------------------------------------------------------
# The simulator's stored values

class Sim:
    def __init__(self, proc, state_file):
        self.proc = proc
        self.state_file = state_file

    def values(self):
        """Asks the simulator for its stored values: {'requests': n, param: value}."""
        try:
            os.remove(self.state_file)
        except FileNotFoundError:
            pass
        self.proc.send_signal(signal.SIGUSR1)
        wait_until("the simulator's state file", lambda: os.path.exists(self.state_file), 10)
        state = {}
        with open(self.state_file) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 2 and parts[0] == "requests":
                    state["requests"] = int(parts[1])
                elif len(parts) == 2:
                    state[int(parts[0])] = int(parts[1])
        if "requests" not in state:
            fail("a complete state file", open(self.state_file).read()[:200])
        return state

    def maps(self):
        s = self.values()
        return ([s.get(LPG_FIRST + i, 0) for i in range(MAP_POINTS)],
                [s.get(PETROL_FIRST + i, 0) for i in range(MAP_POINTS)],
                s.get(START_TIMEOUT, 0), s["requests"])


def check_sim(sim, lpg, petrol, timeout_value, what):
    s_lpg, s_petrol, s_timeout, _ = sim.maps()
    for name, want, seen in (("LPG", lpg, s_lpg), ("petrol", petrol, s_petrol)):
        if want != seen:
            diffs = [i for i in range(MAP_POINTS) if want[i] != seen[i]]
            fail("%s: simulator's %s map %s at points %s" % (what, name, [want[i] for i in diffs[:6]], diffs[:6]),
                 "%s (%d points differ)" % ([seen[i] for i in diffs[:6]], len(diffs)))
    if s_timeout != timeout_value:
        fail("%s: simulator's start timeout %d" % (what, timeout_value), s_timeout)


# ---------------------------------------------------------------------------
# The scenario

def scenario(run, sim, win):
    log = run.log
    requests0 = sim.maps()[3]

    # Sized to the screen, whatever its size.
    sw, sh = [int(v) for v in run.args.size.split("x")]
    x, y, w, h = extents(win.frame)
    if (x, y, w, h) != (0, 0, sw, sh):
        fail("the window to cover the work area (0, 0, %d, %d)" % (sw, sh), (x, y, w, h))
    run.shot("start")

    # -- bad port numbers --------------------------------------------------
    log("bad port numbers")
    edit = win.port_edit()
    bad_ports = [
        ("", ERROR_CAPTION, "'' is not a valid integer value."),
        ("abc", ERROR_CAPTION, "'abc' is not a valid integer value."),
        ("0", "Message", "Неверный номер порта"),
        ("-3", "Message", "Не удалось подключиться"),
        ("1000", "Message", "Неверный номер порта"),
    ]
    for text, caption, message in bad_ports:
        log("port box '%s'" % text)
        win.set_edit(edit, text)
        status_before = win.status()
        win.menu("Подключение", "Подключиться")
        answer_box(caption, message)
        if text_of(edit) != text:
            fail("port box still '%s'" % text, text_of(edit))
        status = win.status()
        # Only a refused open turns the hidden status to "not connected".
        want = NOT_CONNECTED if text == "-3" else status_before
        if status != want:
            fail("status %s after port '%s'" % (want, text), status)
    if sim.maps()[3] != requests0:
        fail("no request to the simulator for bad port numbers", "%d requests" % (sim.maps()[3] - requests0))
    run.shot("bad-ports")

    # -- connect -----------------------------------------------------------
    log("connect on COM %d" % PORT)
    win.set_edit(edit, str(PORT))
    win.menu("Подключение", "Подключиться")
    expect_message("Вариатор подключен")
    wait_until("status '%s'" % CONNECTED, lambda: win.status() == CONNECTED, 5)
    run.shot("connected")

    # -- read --------------------------------------------------------------
    log("read")
    t = time.monotonic()
    click(win.button("Чтение данных из вариатора"))
    expect_no_box(0.3)
    wait_until("the read to finish", lambda: not win.busy(), 30)
    log("  read took %.1f s" % (time.monotonic() - t))
    win.page("Настройки вариатора")
    timeout_edit, firmware_edit = win.settings_edits()
    if (text_of(timeout_edit), text_of(firmware_edit)) != (str(START_TIMEOUT_VALUE), str(FIRMWARE_VALUE)):
        fail("start timeout %d, firmware %d" % (START_TIMEOUT_VALUE, FIRMWARE_VALUE),
             (text_of(timeout_edit), text_of(firmware_edit)))
    win.page("Таблица УОЗ для газа")
    check_grid(win, START_LPG, "LPG after the read")
    win.page("Таблица УОЗ для бензина")
    check_grid(win, START_PETROL, "petrol after the read")
    run.shot("read")

    # -- raise the LPG map on the chart ------------------------------------
    log("LPG chart: Up twice with the pointer over the chart")
    win.page("Карта УОЗ для газа")
    chart_page = [f for f in find_all(win.frame, "filler") if any(
        c.name == "Двигать всю карту" for c in find_all(f, "check box"))][0]
    cx, cy, cw, ch = extents(chart_page)
    # High on the chart, clear of the points (10 to 14 degrees on a 0 to 35
    # scale) and of the check boxes along the top.
    click_at(cx + cw // 2, cy + ch // 4)
    key("Up", "Up")
    run.shot("chart-raised")
    lpg = [v + 1000 for v in START_LPG]
    petrol = list(START_PETROL)

    win.page("Таблица УОЗ для газа")
    check_grid(win, lpg, "LPG after raising it by 1 degree")
    run.shot("lpg-table")

    # -- the grid: bad text, out of range, good values ---------------------
    log("grid: 'abc' then moving away")
    cell = win.grid_cell(0)
    click(cell)
    type_text("abc")
    click(win.grid_cell(1))
    expect_error("'abc' is not a valid floating point value.")
    # Nothing stored, nothing reloaded: the cell keeps the bad text.
    seen = win.grid_texts()
    want = ["abc"] + [general(v / 1000.0) for v in lpg[1:]]
    if seen != want:
        fail("the grid unchanged but for 'abc' in the first cell %s" % want[:3], seen[:3])
    log("  correcting it to 12.5 and moving away")
    # The selection stayed on the cell: Backspace clears the typed text.
    key("ctrl+a")
    key("BackSpace")
    type_text("12.5")
    click(win.grid_cell(1))
    expect_no_box(0.5)
    lpg[0] = 12500

    log("grid: 32.01 is refused silently")
    click(win.grid_cell(11))
    type_text("32.01")
    key("Return")
    expect_no_box(0.8)
    check_grid(win, lpg, "LPG reloaded after 32.01")
    log("grid: 'abc' and Enter: one error box, the text stays to be corrected")
    click(win.grid_cell(2))
    type_text("abc")
    key("Return")
    expect_error("'abc' is not a valid floating point value.")
    # Enter stopped at the error: the cell editor still holds the text.
    key("Return")
    expect_error("'abc' is not a valid floating point value.")
    key("ctrl+a")
    type_text("7.25")
    key("Return")
    expect_no_box(0.5)
    lpg[2] = 7250

    log("grid: -3.25 and 32 are taken")
    click(win.grid_cell(79))
    type_text("-3.25")
    key("Return")
    lpg[79] = -3250
    click(win.grid_cell(42))
    type_text("32")
    key("Return")
    lpg[42] = 32000
    expect_no_box(0.3)
    # A page change reloads the grid from the map.
    win.page("Карта УОЗ для газа")
    win.page("Таблица УОЗ для газа")
    check_grid(win, lpg, "LPG after the grid edits")
    run.shot("grid-edits")

    # -- the start timeout: 70000 does not fit -----------------------------
    log("write with start timeout 70000")
    before = sim.maps()
    win.page("Настройки вариатора")
    timeout_edit, _ = win.settings_edits()
    win.set_edit(timeout_edit, "70000")
    click(win.button("Запись данных в вариатор"))
    expect_message("Запись отменена: значение вне допустимого диапазона (время до включения вариатора)")
    if sim.maps() != before:
        fail("nothing sent to the simulator after the refused write", "its state changed")
    if text_of(timeout_edit) != "70000":
        fail("start timeout box still '70000'", text_of(timeout_edit))

    # -- write -------------------------------------------------------------
    log("write")
    win.set_edit(timeout_edit, "12")
    t = time.monotonic()
    click(win.button("Запись данных в вариатор"))
    expect_no_box(0.3)
    wait_until("the write to finish", lambda: not win.busy(), 30)
    expect_no_box(0.5)
    log("  write took %.1f s" % (time.monotonic() - t))
    check_sim(sim, lpg, petrol, 12, "after the write")
    run.shot("written")

    # -- save --------------------------------------------------------------
    saved = os.path.join(run.maps, "maps e2e.xml")
    log("save to %s" % saved)
    win.menu("Файл", "Сохранить")
    file_dialog(saved)
    wait_until("the saved file", lambda: os.path.exists(saved), 10)
    check_file(saved, lpg, petrol, "12")
    run.shot("saved")

    # -- template ----------------------------------------------------------
    log("template")
    click(win.button("Шаблон данных"))
    expect_no_box(0.3)
    win.page("Таблица УОЗ для бензина")
    check_grid(win, [2000] * MAP_POINTS, "petrol after the template")
    win.page("Таблица УОЗ для газа")
    check_grid(win, [9000] * MAP_POINTS, "LPG after the template")
    run.shot("template")

    # -- open the saved file -----------------------------------------------
    log("open %s" % saved)
    win.menu("Файл", "Открыть")
    file_dialog(saved)
    expect_no_box(0.3)
    check_grid(win, lpg, "LPG after opening the file")
    win.page("Таблица УОЗ для бензина")
    check_grid(win, petrol, "petrol after opening the file")
    run.shot("opened")

    # -- a file that is not XML --------------------------------------------
    junk = os.path.join(run.maps, "notes.xml")
    with open(junk, "w") as f:
        f.write("These are not maps.\n")
    log("open a file that is not XML")
    win.menu("Файл", "Открыть")
    file_dialog(junk)
    prefix = "Cannot open map file '%s': the file is not well-formed XML" % junk
    expect_error(prefix + " ...", match=lambda s: s.startswith(prefix))
    check_grid(win, petrol, "petrol after the failed open")
    win.page("Таблица УОЗ для газа")
    check_grid(win, lpg, "LPG after the failed open")
    check_sim(sim, lpg, petrol, 12, "at the end")
    run.shot("bad-file")


def file_dialog(path):
    """Types the full path into the open file dialog and presses Return."""
    dialog = wait_until("a file dialog", lambda: (top_windows(("dialog", "file chooser")) or [None])[0], 10)
    fields = [e for e in find_all(dialog, "text") if extents(e)[2] > 0]
    if not fields:
        fail("a file name field in the file dialog", "none")
    # The file name field is the lowest edit box of the dialog.
    field = max(fields, key=lambda e: extents(e)[1])
    click(field)
    key("ctrl+a")
    key("BackSpace")
    type_text(path)
    wait_until("the file name field to read the path", lambda: text_of(field) == path, 5)
    RUN.shot("file-dialog")
    key("Return")
    wait_until("the file dialog to close",
               lambda: not [w for w in top_windows(("dialog", "file chooser")) if w.name == dialog.name
                            and find_all(w, "text")], 10)


def check_file(path, lpg, petrol, timeout_text):
    root = ET.parse(path).getroot()
    if root.tag != "variatorTarvo" or [c.tag for c in root] != ["Settings", "LPGmap", "Petrolmap"]:
        fail("<variatorTarvo> with Settings, LPGmap, Petrolmap", "%s %s" % (root.tag, [c.tag for c in root]))
    if root[0].get("Timeout") != timeout_text:
        fail("Timeout='%s' in the file" % timeout_text, root[0].get("Timeout"))
    for element, want, name in ((root[1], lpg, "LPG"), (root[2], petrol, "petrol")):
        points = list(element)
        texts = [p.text for p in points]
        want_texts = [str(v) for v in want]
        if texts != want_texts:
            diffs = [i for i in range(MAP_POINTS) if i >= len(texts) or texts[i] != want_texts[i]]
            fail("%s points in the file %s" % (name, [want_texts[i] for i in diffs[:6]]),
                 "%s at %s" % ([texts[i] if i < len(texts) else None for i in diffs[:6]], diffs[:6]))
        attrs = [list(p.attrib.items()) for p in points]
        want_attrs = [[("UOZ%d" % (100 * i), general(want[i] / 1000.0))] for i in range(MAP_POINTS)]
        if attrs != want_attrs:
            fail("%s point attributes %s" % (name, want_attrs[:2]), attrs[:2])


def close_window(run, win):
    """Closes the window the way a window manager would: WM_DELETE_WINDOW."""
    from Xlib import X, display, protocol
    d = display.Display(run.env["DISPLAY"])
    ids = [int(i) for i in xdo("search", "--onlyvisible", "--name", "^Tarvo GUI$").split()]
    if not ids:
        fail("the main window on the display", "none")
    run.log("  WM_DELETE_WINDOW to window %s" % ids)
    proto = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    for wid in ids:
        w = d.create_resource_object("window", wid)
        ev = protocol.event.ClientMessage(window=w, client_type=proto, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        w.send_event(ev, event_mask=X.NoEventMask)
    # A round trip before hanging up: the X server has then handled the
    # request. Closing the connection straight after the flush lets the server
    # drop the request unread now and then, and the close never arrives.
    d.sync()
    d.close()


def close_and_expect_end(run, win, gui):
    """Sends the window close once; the program answers with its message and ends."""
    close_window(run, win)
    wait_until("the close to show a message box", top_windows, 10)
    expect_message("Вариатор отключен")
    try:
        code = gui.wait(timeout=15)
    except subprocess.TimeoutExpired:
        fail("the program to end after the close", "still running")
    if code != 0:
        fail("exit status 0", code)


def russian_grids(run, gui_path):
    """A second run under a Russian locale, where the decimal separator is a
    comma: Enter on "3.5" in both grids (main Enter, then keypad Enter) shows
    the error box once and keeps the text; corrected to "3,5" it is stored."""
    global APP_PID
    env = dict(run.env)
    env.pop("LC_ALL", None)
    env.update({"LANG": "ru_RU.UTF-8", "LC_CTYPE": "C.UTF-8"})
    gui = run.start("gui-ru", [gui_path], cwd=run.maps, env=env)
    APP_PID = gui.pid
    frame = wait_until("the program's window under the Russian locale", main_frame, 30, 0.3)
    win = Window(frame)
    wait_until("the window shown", lambda: showing(frame) and extents(frame)[2] > 100, 10)
    time.sleep(0.5)
    bad = "'3.5' is not a valid floating point value."
    for page, enter in (("Таблица УОЗ для газа", "Return"), ("Таблица УОЗ для бензина", "KP_Enter")):
        run.log("%s: '3.5' and %s" % (page, enter))
        win.page(page)
        click(win.grid_cell(12))
        type_text("3.5")
        key(enter)
        expect_error(bad)
        if win.grid_texts()[12] != "0":
            fail("nothing stored from '3.5'", win.grid_texts()[12])
        key(enter)
        expect_error(bad)
        key("ctrl+a")
        type_text("3,5")
        key(enter)
        expect_no_box(0.5)
        run.shot("russian-grid")
    for page in ("Таблица УОЗ для газа", "Таблица УОЗ для бензина"):
        win.page(page)
        seen = win.grid_texts()
        if seen[12] != "3,5" or seen[11] != "0":
            fail("3,5 stored at point 12 of '%s'" % page, seen[10:14])
    run.log("close the window")
    close_and_expect_end(run, win, gui)


# ---------------------------------------------------------------------------

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


def main():
    global RUN, pyatspi, APP_PID
    parser = argparse.ArgumentParser()
    parser.add_argument("--gui", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--size", default="1280x800")
    args = parser.parse_args()
    run = RUN = Run(args)

    def on_term(signum, frame):
        raise Failure("stopped by signal %d (time-out)" % signum)
    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGINT, on_term)

    status = 1
    gui = None
    try:
        xdg = os.path.join(run.tmp, "runtime")
        os.mkdir(xdg, 0o700)
        run.env.update({
            "XDG_RUNTIME_DIR": xdg,
            "XDG_CONFIG_HOME": os.path.join(run.tmp, "config"),
            "XDG_CACHE_HOME": os.path.join(run.tmp, "cache"),
            "XDG_DATA_HOME": os.path.join(run.tmp, "data"),
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "NO_AT_BRIDGE": "0",
            "LC_ALL": "C.UTF-8",
            "ASAN_OPTIONS": "detect_leaks=0",
        })
        run.env.pop("QT_QPA_PLATFORM", None)
        run.env.pop("WAYLAND_DISPLAY", None)
        start_x(run, args.size)
        start_dbus(run)
        run.log("display %s, screen %s" % (run.env["DISPLAY"], args.size))
        # pyatspi finds the bus through the environment of this process.
        for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
            os.environ[k] = run.env[k]
        import pyatspi as p
        pyatspi = p
        from gi.repository import Atspi
        Atspi.set_timeout(5000, 15000)
        # Starts the accessibility bus before the program looks for it.
        pyatspi.Registry.getDesktop(0)

        state_file = os.path.join(run.tmp, "sim-state.txt")
        presets = ["--value=%d:%d" % (LPG_FIRST + i, v) for i, v in enumerate(START_LPG)]
        presets += ["--value=%d:%d" % (PETROL_FIRST + i, v) for i, v in enumerate(START_PETROL)]
        presets += ["--value=%d:%d" % (START_TIMEOUT, START_TIMEOUT_VALUE),
                    "--value=%d:%d" % (FIRMWARE, FIRMWARE_VALUE)]
        simp = run.start("sim", [args.sim, "--com=%d" % PORT, "--instant",
                                 "--state-file=%s" % state_file] + presets, stdout=subprocess.PIPE)
        pty = simp.stdout.readline().decode().strip()
        if not pty.startswith("/dev/"):
            fail("the simulator to print its line's path", pty or "nothing (see e2e-sim.log)")
        sim = Sim(simp, state_file)
        check_sim(sim, START_LPG, START_PETROL, START_TIMEOUT_VALUE, "at start")

        # The file dialogs open on the program's working folder: a quiet one,
        # so that they do not follow a busy /tmp.
        run.maps = os.path.join(run.tmp, "maps")
        os.mkdir(run.maps)
        gui = run.start("gui", [args.gui], cwd=run.maps)
        APP_PID = gui.pid
        frame = wait_until("the program's window 'Tarvo GUI' in the accessibility tree", main_frame, 30, 0.3)
        win = Window(frame)
        wait_until("the window shown", lambda: showing(frame) and extents(frame)[2] > 100, 10)
        time.sleep(0.5)

        scenario(run, sim, win)

        run.log("close the window")
        close_and_expect_end(run, win, gui)

        russian_grids(run, args.gui)
        run.log("PASS (%s, %.1f s)" % (args.size, time.monotonic() - run.t0))
        status = 0
    except Failure as e:
        print("E2E FAILURE: %s" % e, flush=True)
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
        if gui is not None and gui.poll() is not None and gui.returncode not in (0, None):
            print("tarvo-gui ended with status %s (see e2e-gui.log)" % gui.returncode, flush=True)
        run.stop_all()
    return status


if __name__ == "__main__":
    sys.exit(main())
