#!/usr/bin/python3
"""Window model of the end-to-end runs: the program's controls found through
AT-SPI by role and name, real X input from xdotool at their on-screen places,
message boxes read from their labels and answered, the file dialog, and the
window close as a window manager sends it. Every input is followed by a wait
for what it shows, not by a pause."""

import subprocess
import time

from e2e_harness import Failure, fail, wait_until

MAP_POINTS = 80
ERROR_CAPTION = "Tarvo GUI"

# The run whose display is driven, the accessibility bindings, and the
# process whose window the look-ups search.
RUN = None
pyatspi = None
APP_PID = None


def attach(run):
    """Drives run's display; starts the accessibility bus before a program
    looks for it."""
    global RUN, pyatspi
    RUN = run
    import pyatspi as p
    pyatspi = p
    from gi.repository import Atspi
    Atspi.set_timeout(5000, 15000)
    pyatspi.Registry.getDesktop(0)


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


def click_at(x, y):
    move_to(x, y)
    xdo("click", "1")


def key(*names):
    xdo("key", "--delay", "40", *names)


def type_text(text):
    """Types ASCII text through real keys. A letter outside the keyboard map
    would go through a key that xdotool remaps for the moment, and a busy
    program reads that key after the map is back: such text goes in through
    put_text."""
    if not text.isascii():
        fail("ASCII text to type through real keys", repr(text))
    if text:
        xdo("type", "--delay", "30", "--", text)


def put_text(edit, text):
    """Replaces the whole text of an edit box through its accessible text,
    as an input method does: every letter arrives, whatever the load."""
    if not edit.queryEditableText().setTextContents(text):
        fail("the edit box to take '%s'" % text, "refused")


# ---------------------------------------------------------------------------
# AT-SPI

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


def use_program(p, what="the program's window"):
    """Points the look-ups at program p and waits for its window shown."""
    global APP_PID
    APP_PID = p.pid
    frame = wait_until("%s in the accessibility tree" % what, main_frame, 30, 0.3)
    wait_until("%s shown" % what, lambda: showing(frame) and extents(frame)[2] > 100, 10)
    win = Window(frame)
    # Shown and laid out: the page tabs are on screen.
    wait_until("%s laid out" % what, lambda: extents(find(frame, "page tab list"))[2] > 0, 10)
    return win


# ---------------------------------------------------------------------------
# Message boxes

def box_text(w):
    labels = [l.name for l in find_all(w, "label") if l.name]
    return "\n".join(labels)


def answer_box(caption, expected, buttons=("OK",), press="OK", timeout=15.0):
    """Waits for a box captioned `caption`, checks its text and its buttons and
    presses `press`."""
    w = wait_until("a box '%s' with '%s'" % (caption, expected), lambda: (top_windows() or [None])[0], timeout)
    seen = box_text(w)
    if (w.name, seen) != (caption, expected):
        fail("box captioned '%s' with text '%s'" % (caption, expected),
             "box captioned '%s' with text '%s'" % (w.name, seen))
    # "OK" in Latin letters also where Qt's own texts are Russian.
    names = wait_until("the box's buttons", lambda: sorted(b.name for b in find_all(w, "push button")), 10)
    if names != sorted(buttons):
        fail("the buttons %s" % ", ".join(buttons), names)
    RUN.log("  box: %s [%s]" % (seen, press))
    click(find(w, "push button", press))
    wait_until("the box '%s' to close" % seen, lambda: seen not in [box_text(b) for b in top_windows()], 10)
    return seen


def expect_message(text, timeout=15.0):
    return answer_box("Message", text, timeout=timeout)


def expect_error(text):
    return answer_box(ERROR_CAPTION, text)


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

    def port_edit(self):
        combo = find(self.frame, "combo box")
        return find(combo, "text")

    def set_edit(self, edit, text):
        click(edit)
        key("ctrl+a")
        key("BackSpace")
        if text.isascii():
            type_text(text)
        else:
            put_text(edit, text)
        wait_until("the edit box to read '%s'" % text, lambda: text_of(edit) == text, 5)

    def timeout_edit(self):
        """The start timeout box, the upper edit box of the settings page."""
        port = find_all(find(self.frame, "combo box"), "text")
        edits = [e for e in find_all(self.frame, "text") if e not in port and e.name != "Автомобиль"]
        if len(edits) != 2:
            fail("two edit boxes of the variator on the settings page", "%d" % len(edits))
        return min(edits, key=lambda e: extents(e)[1])

    def car_edit(self):
        """The box "Автомобиль" of the settings page."""
        return find(self.frame, "text", "Автомобиль")

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

    def chart_spot(self, shift=0):
        """Clicks high on the showing chart, clear of the points (10 to 16
        degrees on a 0 to 35 scale) and of the check boxes along the top: the
        pointer is then over the chart and the chart has the focus. A shift
        of a few pixels makes a motion where the pointer already is."""
        cx, cy, cw, ch = extents(self.chart_page())
        click_at(cx + cw // 2 + shift, cy + ch // 4)

    def chart_page(self):
        return [f for f in find_all(self.frame, "filler")
                if find_all(f, "check box", "Двигать всю карту")][0]


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


def close_window(run, pid):
    """Closes the window the way a window manager would: WM_DELETE_WINDOW, sent
    once, to the main window of process pid."""
    from Xlib import X, display, protocol
    d = display.Display(run.env["DISPLAY"])
    # --all: the window must match both the process and the name.
    ids = [int(i) for i in xdo("search", "--all", "--pid", pid, "--onlyvisible", "--name", "^Tarvo GUI$").split()]
    if not ids:
        fail("the main window of pid %d" % pid, "none")
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


CLOSE_QUESTION = "Карты изменены и не сохранены. Сохранить их в файл перед выходом?"


def close_and_expect_end(run, gui, answers=()):
    """Sends the window close of program gui once, and once more after each
    "Отмена" to the question about unsaved maps (`answers`, in turn). The
    program then says so and ends with status 0."""
    for answer in answers or (None,):
        close_window(run, gui.pid)
        if answer:
            answer_box("Message", CLOSE_QUESTION, ("Да", "Нет", "Отмена"), answer)
    expect_message("Вариатор отключен")
    try:
        code = gui.wait(timeout=15)
    except subprocess.TimeoutExpired:
        fail("the program to end after the close", "still running")
    if code != 0:
        fail("exit status 0", code)
