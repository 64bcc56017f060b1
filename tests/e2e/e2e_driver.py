#!/usr/bin/python3
"""End-to-end run of the real tarvo-gui against variator-sim, driven from outside.

Starts a private Xvfb, a private D-Bus session with the accessibility bus,
variator-sim on COM 7 and tarvo-gui, then works the window as a user would,
in named steps that share one context (e2e_harness.py: the processes and the
session; e2e_window.py: the window through AT-SPI and X input; e2e_checks.py:
grids, the simulator's values and the saved file against expected values).
Every click and key is real X input at the control's on-screen place, so
nothing depends on the screen size.

Usage: e2e_driver.py --gui PATH --sim PATH --out DIR [--size WxH]
Needs Debian's python3 with python3-pyatspi, python3-xlib, Xvfb, xdotool,
dbus-daemon, at-spi2-core and imagemagick's import.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_window as ui  # noqa: E402
from e2e_checks import (FIRMWARE, LPG_FIRST, PETROL_FIRST, START_TIMEOUT, Sim, check_file,  # noqa: E402
                        check_grid, check_sim, general)
from e2e_harness import Run, fail, prepare_session, run_main, wait_until  # noqa: E402
from e2e_window import (CONNECTED, ERROR_CAPTION, MAP_POINTS, NOT_CONNECTED, answer_box,  # noqa: E402
                        answer_close_question, click, click_at, close_and_expect_end, close_window,
                        expect_error, expect_message, expect_no_box, extents, file_dialog, find, find_all, key,
                        showing, text_of, top_windows, type_text, use_program, xdo)

PORT = 7

# What the simulator holds at start (thousandths of a degree).
START_LPG = [10000 + 50 * i for i in range(MAP_POINTS)]      # 10.0 .. 13.95
START_PETROL = [5000 + 25 * i for i in range(MAP_POINTS)]    # 5.0 .. 6.975
START_TIMEOUT_VALUE = 5
FIRMWARE_VALUE = 321


class Context:
    """What the steps share: the run, the simulator, the window, the port box,
    the maps as edited so far, the start timeout box and the saved file."""

    def __init__(self, run, sim, win):
        self.run = run
        self.sim = sim
        self.win = win
        self.requests0 = sim.maps()[3]
        self.edit = None
        self.timeout_edit = None
        self.lpg = list(START_LPG)
        self.petrol = list(START_PETROL)
        self.saved = None


STEPS = []


def step(fn):
    """Registers fn as the next step of the scenario."""
    STEPS.append(fn)
    return fn


@step
def window_covers_the_screen(c):
    """Sized to the screen, whatever its size."""
    run, win = c.run, c.win
    sw, sh = [int(v) for v in run.args.size.split("x")]
    x, y, w, h = extents(win.frame)
    if (x, y, w, h) != (0, 0, sw, sh):
        fail("the window to cover the work area (0, 0, %d, %d)" % (sw, sh), (x, y, w, h))
    run.shot("start")


@step
def bad_port_numbers(c):
    """Bad port numbers."""
    run, sim, win, log = c.run, c.sim, c.win, c.run.log
    log("bad port numbers")
    c.edit = win.port_edit()
    bad_ports = [
        ("", ERROR_CAPTION, "'' is not a valid integer value."),
        ("abc", ERROR_CAPTION, "'abc' is not a valid integer value."),
        ("0", "Message", "Неверный номер порта"),
        ("-3", "Message", "Не удалось подключиться"),
        ("1000", "Message", "Неверный номер порта"),
    ]
    for text, caption, message in bad_ports:
        log("port box '%s'" % text)
        win.set_edit(c.edit, text)
        status_before = win.status()
        win.menu("Подключение", "Подключиться")
        answer_box(caption, message)
        if text_of(c.edit) != text:
            fail("port box still '%s'" % text, text_of(c.edit))
        status = win.status()
        # Only a refused open turns the hidden status to "not connected".
        want = NOT_CONNECTED if text == "-3" else status_before
        if status != want:
            fail("status %s after port '%s'" % (want, text), status)
    if sim.maps()[3] != c.requests0:
        fail("no request to the simulator for bad port numbers", "%d requests" % (sim.maps()[3] - c.requests0))
    run.shot("bad-ports")


@step
def connect(c):
    """Connect."""
    run, win, log = c.run, c.win, c.run.log
    log("connect on COM %d" % PORT)
    win.set_edit(c.edit, str(PORT))
    win.menu("Подключение", "Подключиться")
    expect_message("Вариатор подключен")
    wait_until("status '%s'" % CONNECTED, lambda: win.status() == CONNECTED, 5)
    run.shot("connected")


@step
def read(c):
    """Read."""
    run, win, log = c.run, c.win, c.run.log
    log("read")
    t = time.monotonic()
    click(win.button("Чтение данных из вариатора"))
    expect_no_box(0.3)
    wait_until("the read to finish", lambda: not win.busy(), 30)
    log("  read took %.1f s" % (time.monotonic() - t))
    win.page("Настройки вариатора")
    c.timeout_edit, firmware_edit = win.settings_edits()
    if (text_of(c.timeout_edit), text_of(firmware_edit)) != (str(START_TIMEOUT_VALUE), str(FIRMWARE_VALUE)):
        fail("start timeout %d, firmware %d" % (START_TIMEOUT_VALUE, FIRMWARE_VALUE),
             (text_of(c.timeout_edit), text_of(firmware_edit)))
    win.page("Таблица УОЗ для газа")
    check_grid(win, START_LPG, "LPG after the read")
    win.page("Таблица УОЗ для бензина")
    check_grid(win, START_PETROL, "petrol after the read")
    run.shot("read")


@step
def raise_lpg_map_on_chart(c):
    """Raise the LPG map on the chart."""
    run, win, log = c.run, c.win, c.run.log
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
    c.lpg = [v + 1000 for v in START_LPG]
    c.petrol = list(START_PETROL)

    win.page("Таблица УОЗ для газа")
    check_grid(win, c.lpg, "LPG after raising it by 1 degree")
    run.shot("lpg-table")


@step
def grid_edits(c):
    """The grid: bad text, out of range, good values."""
    run, win, log = c.run, c.win, c.run.log
    log("grid: 'abc' then moving away")
    cell = win.grid_cell(0)
    click(cell)
    type_text("abc")
    click(win.grid_cell(1))
    expect_error("'abc' is not a valid floating point value.")
    # Nothing stored, nothing reloaded: the cell keeps the bad text.
    seen = win.grid_texts()
    want = ["abc"] + [general(v / 1000.0) for v in c.lpg[1:]]
    if seen != want:
        fail("the grid unchanged but for 'abc' in the first cell %s" % want[:3], seen[:3])
    log("  correcting it to 12.5 and moving away")
    # The selection stayed on the cell: Backspace clears the typed text.
    key("ctrl+a")
    key("BackSpace")
    type_text("12.5")
    click(win.grid_cell(1))
    expect_no_box(0.5)
    c.lpg[0] = 12500

    log("grid: 32.01 is refused silently")
    click(win.grid_cell(11))
    type_text("32.01")
    key("Return")
    expect_no_box(0.8)
    check_grid(win, c.lpg, "LPG reloaded after 32.01")
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
    c.lpg[2] = 7250

    log("grid: -3.25 and 32 are taken")
    click(win.grid_cell(79))
    type_text("-3.25")
    key("Return")
    c.lpg[79] = -3250
    click(win.grid_cell(42))
    type_text("32")
    key("Return")
    c.lpg[42] = 32000
    expect_no_box(0.3)
    # A page change reloads the grid from the map.
    win.page("Карта УОЗ для газа")
    win.page("Таблица УОЗ для газа")
    check_grid(win, c.lpg, "LPG after the grid edits")
    run.shot("grid-edits")


def clipboard(run, text=None):
    """Reads the X clipboard, or puts text on it as another program does."""
    if text is None:
        r = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=run.env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, timeout=10)
        return r.stdout.decode()
    # xclip stays behind to serve the text until the X server ends.
    subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text.encode(), env=run.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10, check=True)


@step
def shape_a_range(c):
    """A range in the LPG table interpolated, copied, and pasted as a
    spreadsheet column into the petrol table; a run of points on the chart."""
    run, win, log = c.run, c.win, c.run.log
    log("LPG table: select 4000..4600 rpm, Ctrl+I")
    win.page("Таблица УОЗ для газа")
    click(win.grid_cell(40))
    x, y = ui.centre(win.grid_cell(46))
    xdo("keydown", "shift")
    click_at(x, y)
    xdo("keyup", "shift")
    key("ctrl+i")
    expect_no_box(0.3)
    # Point 42 held 32 degrees; the points between the ends now lie on the line.
    first, last = c.lpg[40], c.lpg[46]
    for k in range(1, 6):
        c.lpg[40 + k] = first + round((last - first) * k / 6)
    check_grid(win, c.lpg, "LPG after the interpolation")
    run.shot("interpolated")

    log("Ctrl+C: the column on the X clipboard")
    key("ctrl+c")
    column = [general(v / 1000.0) for v in c.lpg[40:47]]
    wait_until("the copied column on the clipboard", lambda: clipboard(run) == "\n".join(column) + "\n", 5)

    log("the column as a spreadsheet puts it, pasted into the petrol table at 1000 rpm")
    clipboard(run, "\r\n".join(column) + "\r\n")
    win.page("Таблица УОЗ для бензина")
    click(win.grid_cell(10))
    key("ctrl+v")
    expect_no_box(0.3)
    c.petrol[10:17] = c.lpg[40:47]
    check_grid(win, c.petrol, "petrol after the paste")
    run.shot("pasted")

    log("LPG chart, one-point mode: Right to 4000 rpm, Shift+Right to 4600 rpm")
    win.page("Карта УОЗ для газа")
    chart_page = [f for f in find_all(win.frame, "filler") if any(
        b.name == "Двигать всю карту" for b in find_all(f, "check box"))][0]
    whole_map = [b for b in find_all(chart_page, "check box") if b.name == "Двигать всю карту"][0]
    click(whole_map)
    cx, cy, cw, ch = extents(chart_page)
    click_at(cx + cw // 2, cy + ch // 4)
    key(*(["Right"] * 40 + ["shift+Right"] * 6))
    time.sleep(0.3)
    run.shot("chart-selected-range")
    click(whole_map)


@step
def start_timeout_that_does_not_fit(c):
    """The start timeout: 70000 does not fit."""
    sim, win, log = c.sim, c.win, c.run.log
    log("write with start timeout 70000")
    before = sim.maps()
    win.page("Настройки вариатора")
    c.timeout_edit, _ = win.settings_edits()
    win.set_edit(c.timeout_edit, "70000")
    click(win.button("Запись данных в вариатор"))
    expect_message("Запись отменена: значение вне допустимого диапазона (время до включения вариатора)")
    if sim.maps() != before:
        fail("nothing sent to the simulator after the refused write", "its state changed")
    if text_of(c.timeout_edit) != "70000":
        fail("start timeout box still '70000'", text_of(c.timeout_edit))


@step
def write(c):
    """Write."""
    run, sim, win, log = c.run, c.sim, c.win, c.run.log
    log("write")
    win.set_edit(c.timeout_edit, "12")
    t = time.monotonic()
    click(win.button("Запись данных в вариатор"))
    expect_no_box(0.3)
    wait_until("the write to finish", lambda: not win.busy(), 30)
    expect_no_box(0.5)
    log("  write took %.1f s" % (time.monotonic() - t))
    check_sim(sim, c.lpg, c.petrol, 12, "after the write")
    run.shot("written")


@step
def save(c):
    """Save."""
    run, win, log = c.run, c.win, c.run.log
    c.saved = os.path.join(run.maps, "maps e2e.xml")
    log("save to %s" % c.saved)
    win.menu("Файл", "Сохранить")
    file_dialog(c.saved)
    wait_until("the saved file", lambda: os.path.exists(c.saved), 10)
    check_file(c.saved, c.lpg, c.petrol, "12")
    run.shot("saved")


@step
def template(c):
    """Template."""
    run, win, log = c.run, c.win, c.run.log
    log("template")
    click(win.button("Шаблон данных"))
    expect_no_box(0.3)
    win.page("Таблица УОЗ для бензина")
    check_grid(win, [2000] * MAP_POINTS, "petrol after the template")
    win.page("Таблица УОЗ для газа")
    check_grid(win, [9000] * MAP_POINTS, "LPG after the template")
    run.shot("template")


@step
def open_saved_file(c):
    """Open the saved file."""
    run, win, log = c.run, c.win, c.run.log
    log("open %s" % c.saved)
    win.menu("Файл", "Открыть")
    file_dialog(c.saved)
    expect_no_box(0.3)
    check_grid(win, c.lpg, "LPG after opening the file")
    win.page("Таблица УОЗ для бензина")
    check_grid(win, c.petrol, "petrol after opening the file")
    run.shot("opened")


@step
def open_file_that_is_not_xml(c):
    """A file that is not XML."""
    run, sim, win, log = c.run, c.sim, c.win, c.run.log
    junk = os.path.join(run.maps, "notes.xml")
    with open(junk, "w") as f:
        f.write("These are not maps.\n")
    log("open a file that is not XML")
    win.menu("Файл", "Открыть")
    file_dialog(junk)
    prefix = "Cannot open map file '%s': the file is not well-formed XML" % junk
    expect_error(prefix + " ...", match=lambda s: s.startswith(prefix))
    check_grid(win, c.petrol, "petrol after the failed open")
    win.page("Таблица УОЗ для газа")
    check_grid(win, c.lpg, "LPG after the failed open")
    check_sim(sim, c.lpg, c.petrol, 12, "at the end")
    run.shot("bad-file")


@step
def history_opens_the_read(c):
    """"Файл" / "История…": the write above the read; "Открыть" on the read
    brings back the maps the car held."""
    run, win, log = c.run, c.win, c.run.log
    log("Файл / История…")
    win.menu("Файл", "История…")
    dialog = wait_until("the history dialog",
                        lambda: ([w for w in top_windows(("dialog",)) if w.name == "История"] or [None])[0], 10)
    read = find(dialog, None, "чтение")
    written = find(dialog, None, "запись")
    if not extents(written)[1] < extents(read)[1]:
        fail("the write listed above the read (newest first)", (extents(written), extents(read)))
    run.shot("history")
    click(read)
    click(find(dialog, "push button", "Открыть"))
    wait_until("the history dialog to close", lambda: not top_windows(("dialog",)), 10)
    expect_no_box(0.3)
    c.lpg, c.petrol = list(START_LPG), list(START_PETROL)
    win.page("Таблица УОЗ для газа")
    check_grid(win, c.lpg, "LPG after opening the read from the history")
    win.page("Таблица УОЗ для бензина")
    check_grid(win, c.petrol, "petrol after opening the read from the history")
    run.shot("history-opened")


def scenario(run, sim, win):
    c = Context(run, sim, win)
    for fn in STEPS:
        run.log("step: %s" % fn.__name__)
        fn(c)


def russian_grids(run, gui_path):
    """A second run under a Russian locale, where the decimal separator is a
    comma: Enter on "3.5" in both grids (main Enter, then keypad Enter) shows
    the error box once and keeps the text; corrected to "3,5" it is stored."""
    env = dict(run.env)
    env.pop("LC_ALL", None)
    env.update({"LANG": "ru_RU.UTF-8", "LC_CTYPE": "C.UTF-8"})
    gui = run.start("gui-ru", [gui_path], cwd=run.maps, env=env)
    win = use_program(gui, "the program's window under the Russian locale")
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
    # The edits are not saved: "Отмена" keeps the window, "Нет" closes it.
    run.log("close the window: Отмена")
    close_window(run)
    answer_close_question("Отмена")
    expect_no_box(0.5)
    if not showing(win.frame):
        fail("the window still open after Отмена", "closed")
    run.log("close the window: Нет")
    close_and_expect_end(run, gui, answer="Нет")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--gui", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--size", default="1280x800")
    args = parser.parse_args()
    run = Run(args)
    procs = {}

    def body():
        prepare_session(run, {})
        run.log("display %s, screen %s" % (run.env["DISPLAY"], args.size))
        ui.attach(run)

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

        gui = procs["gui"] = run.start("gui", [args.gui], cwd=run.maps)
        win = use_program(gui, "the program's window 'Tarvo GUI'")

        scenario(run, sim, win)

        run.log("close the window")
        close_and_expect_end(run, gui)

        russian_grids(run, args.gui)
        run.log("PASS (%s, %.1f s)" % (args.size, time.monotonic() - run.t0))

    def report_gui():
        gui = procs.get("gui")
        if gui is not None and gui.poll() is not None and gui.returncode not in (0, None):
            print("tarvo-gui ended with status %s (see e2e-gui.log)" % gui.returncode, flush=True)

    return run_main(run, body, before_stop=report_gui)


if __name__ == "__main__":
    sys.exit(main())
