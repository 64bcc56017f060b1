#!/usr/bin/python3
"""End-to-end run of the real tarvo-gui against variator-sim, driven from outside.

Starts a private Xvfb, a private D-Bus session with the accessibility bus,
variator-sim on COM 7 and tarvo-gui, then works the window as a user would,
in named steps that share one context (e2e_harness.py: the processes and the
session; e2e_window.py: the window through AT-SPI and X input; e2e_checks.py:
grids, the simulator's values, the saved file and the recovery files against
expected values). Every click and key is real X input at the control's
on-screen place, so nothing depends on the screen size. The steps keep to
what only a real X server shows: the window on the screen, real keys and
pointer, the X clipboard, the dialogs as a user sees them, the close a window
manager sends, and programs running side by side, killed and started again.

Usage: e2e_driver.py --gui PATH --sim PATH --out DIR [--size WxH]
Needs Debian's python3 with python3-pyatspi, python3-xlib, Xvfb, xdotool,
xclip, dbus-daemon, at-spi2-core and imagemagick's import.
"""

import argparse
import os
import re
import signal
import socket
import subprocess
import sys
import time

# No __pycache__ beside the sources.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_window as ui  # noqa: E402
from e2e_checks import (FIRMWARE, LPG_FIRST, PETROL_FIRST, START_TIMEOUT, Sim, check_file,  # noqa: E402
                        check_grid, check_sim, general, recovery_files, recovery_holds)
from e2e_harness import Run, fail, prepare_session, run_main, wait_until  # noqa: E402
from e2e_window import (MAP_POINTS, answer_box, click, click_at, close_and_expect_end,  # noqa: E402
                        expect_error, expect_message, expect_no_box, extents, file_dialog, find, find_all, key,
                        text_of, top_windows, type_text, use_program, xdo)

PORT = 7
CAR = "Golf А123ВС"

# What the simulator holds at start (thousandths of a degree).
START_LPG = [10000 + 50 * i for i in range(MAP_POINTS)]      # 10.0 .. 13.95
START_PETROL = [5000 + 25 * i for i in range(MAP_POINTS)]    # 5.0 .. 6.975
START_TIMEOUT_VALUE = 5
FIRMWARE_VALUE = 321

RECOVERY_QUESTION = "Предыдущий сеанс завершился некорректно. Восстановить несохранённые карты?"
LPG_TABLE = "Таблица УОЗ для газа"
PETROL_TABLE = "Таблица УОЗ для бензина"
LPG_CHART = "Карта УОЗ для газа"


class Context:
    """What the steps share: the run, the simulator, the program driven (its
    process and window), the maps as edited so far and the recovery folder."""

    def __init__(self, run, sim, state):
        self.run = run
        self.sim = sim
        self.state = state
        self.gui = None
        self.win = None
        self.lpg = list(START_LPG)
        self.petrol = list(START_PETROL)

    def start(self, name, env=None):
        self.gui = self.run.start(name, [self.run.args.gui], cwd=self.run.maps, env=env or self.run.env)
        self.win = use_program(self.gui, "%s's window" % name)
        return self.gui


STEPS = []


def step(fn):
    """Registers fn as the next step of the scenario."""
    STEPS.append(fn)
    return fn


@step
def window_covers_the_screen(c):
    """The first program, sized to the screen, whatever its size."""
    c.start("gui")
    sw, sh = [int(v) for v in c.run.args.size.split("x")]
    if extents(c.win.frame) != (0, 0, sw, sh):
        fail("the window to cover the work area (0, 0, %d, %d)" % (sw, sh), extents(c.win.frame))
    c.run.shot("start")


@step
def connect_and_read(c):
    """The port number typed, the menu, the button. A refused number stays in
    the box as typed, on both ways of refusing it."""
    win = c.win
    edit = win.port_edit()
    for text, refusal in (("abc", lambda: expect_error("'abc' is not a valid integer value.")),
                          ("-3", lambda: expect_message("Не удалось подключиться")), (str(PORT), None)):
        win.set_edit(edit, text)
        win.menu("Подключение", "Подключиться")
        if refusal:
            refusal()
            if text_of(edit) != text:
                fail("port box still '%s'" % text, text_of(edit))
    expect_message("Вариатор подключен")
    # The car typed before the read goes with its restore point.
    win.page("Настройки вариатора")
    win.set_edit(win.car_edit(), CAR)
    win.page(LPG_CHART)
    click(win.button("Чтение данных из вариатора"))
    expect_no_box(0.3)
    wait_until("the read to finish", lambda: not win.busy(), 30)
    c.run.shot("read")


@step
def escape_stops_a_read(c):
    """Escape while a read runs: it ends after the exchange in flight, with
    its summary, and the window takes commands again at once. The simulator
    holds its reply to LPG point 40 back, so the key lands in the read."""
    win = c.win
    click(win.button("Чтение данных из вариатора"))
    time.sleep(0.4)
    key("Escape")
    w = wait_until("the summary of the stopped read", lambda: (top_windows() or [None])[0], 15)
    seen = ui.box_text(w)
    if not seen.startswith("Чтение прервано пользователем. Прочитано точек: ") or "из 160" not in seen:
        fail("the summary of a stopped read", seen)
    expect_message(seen)
    wait_until("the read to end", lambda: not win.busy(), 10)
    # What the variator holds is what the window read before: nothing changed.
    win.page(LPG_TABLE)
    check_grid(win, c.lpg, "LPG after the stopped read")


@step
def chart_keys(c):
    """Keys reach the chart while the pointer is over it: the whole map up
    1.5 degrees, then point 30 up 3 more in one-point mode; the variator's map
    stays behind as the reference line; then a run of points selected."""
    run, win = c.run, c.win
    win.page(LPG_CHART)
    win.chart_spot()
    key("Up", "Up", "Up")
    click(find(win.chart_page(), "check box", "Двигать всю карту"))
    win.chart_spot()
    key(*["Right"] * 30 + ["Up"] * 6)
    c.lpg = [v + 1500 + (3000 if i == 30 else 0) for i, v in enumerate(START_LPG)]
    win.menu("Подключение", "Сравнить с вариатором")
    expect_message("Отличаются точек: 80 (газ: %s, … об/мин)" % ", ".join(str(100 * i) for i in range(10)), 30)
    time.sleep(0.3)
    run.shot("reference-line")
    # The box took the pointer away from the chart: a motion brings it back.
    win.chart_spot(shift=5)
    key(*["Right"] * 10 + ["shift+Right"] * 6)
    time.sleep(0.3)
    run.shot("chart-selected-range")
    win.page(LPG_TABLE)
    check_grid(win, c.lpg, "LPG after the chart keys")


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
def x_clipboard(c):
    """A run of the gas table selected with Shift and the pointer, its
    raised end blended into the rest (Ctrl+I), copied to the X clipboard; the
    same column as a spreadsheet puts it there pastes into the petrol table."""
    run, win = c.run, c.win
    click(win.grid_cell(30))
    x, y = ui.centre(win.grid_cell(36))
    xdo("keydown", "shift")
    click_at(x, y)
    xdo("keyup", "shift")
    key("ctrl+i")
    expect_no_box(0.3)
    first, last = c.lpg[30], c.lpg[36]
    for k in range(1, 6):
        c.lpg[30 + k] = first + (last - first) * k // 6
    check_grid(win, c.lpg, "LPG after the interpolation")
    key("ctrl+c")
    column = [general(v / 1000.0) for v in c.lpg[30:37]]
    # A run copies as speed and value lines.
    lines = "".join("%d\t%s\n" % (100 * (30 + k), v) for k, v in enumerate(column))
    wait_until("the copied run on the clipboard", lambda: clipboard(run) == lines, 5)
    clipboard(run, "\r\n".join(column) + "\r\n")
    win.page(PETROL_TABLE)
    click(win.grid_cell(10))
    key("ctrl+v")
    expect_no_box(0.3)
    c.petrol[10:17] = c.lpg[30:37]
    check_grid(win, c.petrol, "petrol after the paste")
    run.shot("pasted")


READOUT = re.compile(r"^(\d+) об/мин: (-?[\d.]+)°$")


def readout(win):
    """The chart's readout, as a screen reader reads it."""
    labels = [l.name for l in ui.find_all(win.chart_page(), "label") if "об/мин" in (l.name or "")]
    return labels[0] if labels else ""


def over_marker(win, point, value):
    """Puts the pointer on the marker of `point` (at `value` degrees), found
    from an estimate by what the readout says under the pointer."""
    cx, cy, cw, ch = extents(win.chart_page())
    x = cx + 60 + (cw - 90) * point * 100 // 8000
    for dy in (0, -6, 6, -12, 12, -18, 18, -24, 24):
        y = cy + ch - 45 - (ch - 90) * value // 35 + dy
        for _ in range(4):
            ui.move_to(x, y)
            time.sleep(0.1)
            m = READOUT.match(readout(win))
            if not m:
                break
            at = int(m.group(1)) // 100
            if at == point:
                return x, y
            x += (point - at) * (cw - 90) // 80
    fail("the readout of point %d under the pointer" % point, readout(win))


@step
def table_run_and_marker_drag(c):
    """In the gas table a click on 1500 rpm and a Shift+click on 3500 select
    the run between them, which Ctrl+D raises by 2 degrees; on the chart the
    marker of 5000 rpm, found by the readout, is dragged up one degree."""
    run, win = c.run, c.win
    win.page(LPG_TABLE)
    click(win.grid_cell(15))
    x, y = ui.centre(win.grid_cell(35))
    xdo("keydown", "shift")
    click_at(x, y)
    xdo("keyup", "shift")
    key("ctrl+d")
    box = wait_until("the question of 'Прибавить'",
                     lambda: ([w for w in top_windows() if w.name == "Прибавить"] or [None])[0], 10)
    key("ctrl+a")
    type_text("2")
    key("Return")
    wait_until("the question to close", lambda: box not in top_windows(), 10)
    expect_no_box(0.3)
    for i in range(15, 36):
        c.lpg[i] += 2000
    check_grid(win, c.lpg, "LPG after Ctrl+D 2 on 1500-3500")

    win.page(LPG_CHART)
    x, y = over_marker(win, 50, c.lpg[50] // 1000)
    xdo("mousedown", "1")
    want = "5000 об/мин: %s°" % general((c.lpg[50] + 1000) / 1000.0)
    for k in range(1, 60):
        ui.move_to(x, y - 3 * k)
        if readout(win) == want:
            break
    xdo("mouseup", "1")
    wait_until("the readout '%s'" % want, lambda: readout(win) == want, 5)
    run.shot("marker-dragged")
    c.lpg[50] += 1000
    win.page(LPG_TABLE)
    check_grid(win, c.lpg, "LPG after the marker dragged")


@step
def write(c):
    """A start timeout that does not fit stays in its box as typed; then what
    came in through X input is what the variator holds."""
    win = c.win
    win.page("Настройки вариатора")
    edit = win.timeout_edit()
    for text in ("70000", "12"):
        win.set_edit(edit, text)
        click(win.button("Запись данных в вариатор"))
        if text == "70000":
            expect_message("Запись отменена: значение вне допустимого диапазона (время до включения вариатора)")
            if text_of(edit) != text:
                fail("start timeout box still '%s'" % text, text_of(edit))
    expect_no_box(0.3)
    wait_until("the write to finish", lambda: not win.busy(), 30)
    expect_no_box(0.5)
    check_sim(c.sim, c.lpg, c.petrol, 12, "after the write")


@step
def save(c):
    """The file dialog as the user sees it: the path typed, Return."""
    path = os.path.join(c.run.maps, "maps e2e.xml")
    c.win.menu("Файл", "Сохранить")
    file_dialog(path)
    wait_until("the saved file", lambda: os.path.exists(path), 10)
    check_file(path, c.lpg, c.petrol, "12")


@step
def history_opens_a_read(c):
    """"Файл" / "История…" as the user sees it: the write listed above the
    reads, newest first, the read with the car typed before it; "Открыть" on
    a read brings back what the car held."""
    win = c.win
    win.menu("Файл", "История…")
    dialog = wait_until("the history dialog",
                        lambda: ([w for w in top_windows(("dialog",)) if w.name == "История"] or [None])[0], 10)
    read, written = find(dialog, None, "чтение"), find(dialog, None, "запись")
    if not extents(written)[1] < extents(read)[1]:
        fail("the write listed above the read", (extents(written), extents(read)))
    # The read's row names the car typed on the settings page.
    wait_until("the car '%s' in the read's row" % CAR,
               lambda: [a for a in find_all(dialog, None, CAR) if abs(extents(a)[1] - extents(read)[1]) <= 2], 10)
    click(read)
    click(find(dialog, "push button", "Открыть"))
    wait_until("the history dialog to close", lambda: not top_windows(("dialog",)), 10)
    expect_no_box(0.3)
    c.lpg, c.petrol = list(START_LPG), list(START_PETROL)
    win.page(PETROL_TABLE)
    check_grid(win, c.petrol, "petrol after opening a read from the history")


@step
def shared_history_folder(c):
    """"Папка истории…" in "История…" sets a folder through the file dialog;
    the history opens again on it, and a restore point that tarvo-cli (given
    no folder: it takes the one set) writes there from another variator shows
    in the open list, with its car and this computer's name."""
    run, win = c.run, c.win
    shop = os.path.join(run.tmp, "shop-history")
    os.makedirs(shop)
    win.menu("Файл", "История…")
    dialog = wait_until("the history dialog",
                        lambda: ([w for w in top_windows(("dialog",)) if w.name == "История"] or [None])[0], 10)
    click(find(dialog, "push button", "Папка истории…"))
    chooser = wait_until("the folder dialog",
                         lambda: ([w for w in top_windows(("dialog", "file chooser")) if w.name == "Папка истории"]
                                  or [None])[0], 10)
    field = max([e for e in find_all(chooser, "text") if extents(e)[2] > 0], key=lambda e: extents(e)[1])
    click(field)
    key("ctrl+a")
    key("BackSpace")
    type_text(shop)
    wait_until("the folder field to read the path", lambda: text_of(field) == shop, 5)
    key("Return")
    dialog = wait_until("the history dialog on the folder set",
                        lambda: ([w for w in top_windows(("dialog",)) if w.name == "История"
                                  and find_all(w, "label", "Папка истории: " + shop)] or [None])[0], 15)
    p = run.start("sim2", [run.args.sim, "--com=%d" % (PORT + 1), "--instant"], stdout=subprocess.PIPE)
    if not p.stdout.readline().decode().startswith("/dev/"):
        fail("the second simulator to print its line's path", "nothing")
    car = "Octavia А777АА"
    r = subprocess.run([run.args.cli, "read", "--port", str(PORT + 1), "--note", car,
                        os.path.join(run.tmp, "cli-read.xml")], env=run.env, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=60)
    if r.returncode != 0:
        fail("tarvo-cli read", r.stderr.decode())
    points = [n for n in os.listdir(shop) if n.endswith(".xml")]
    if len(points) != 1:
        fail("tarvo-cli's restore point in the folder set", points)
    host = re.sub("[^A-Za-z0-9]", "_", socket.gethostname())
    row = wait_until("the car '%s' in the open list" % car, lambda: (find_all(dialog, None, car) or [None])[0], 15)
    if not [a for a in find_all(dialog, None, host) if abs(extents(a)[1] - extents(row)[1]) <= 2]:
        fail("the workstation %s in the row of %s" % (host, car), points)
    run.shot("shared-history")
    click(find(dialog, "push button", "Закрыть"))
    wait_until("the history dialog to close", lambda: not top_windows(("dialog",)), 10)
    p.terminate()


@step
def grid_keys(c):
    """Bad text in a cell: Enter shows the error box, and keypad Enter in the
    cell editor that has the focus back shows it again; corrected, it is
    stored. The maps are then neither saved nor written."""
    win = c.win
    win.page(LPG_TABLE)
    click(win.grid_cell(0))
    type_text("abc")
    key("Return")
    expect_error("'abc' is not a valid floating point value.")
    key("KP_Enter")
    expect_error("'abc' is not a valid floating point value.")
    key("ctrl+a")
    type_text("12.5")
    key("KP_Enter")
    expect_no_box(0.5)
    c.lpg[0] = 12500
    check_grid(win, c.lpg, "LPG after the cell")
    wait_until("the recovery file with the cell", lambda: recovery_holds(c.state, c.lpg), 5)


@step
def second_program_leaves_the_first_alone(c):
    """A second program while the first runs: no question about the first's
    maps, and its normal end leaves the first's recovery file as it was."""
    first, first_win = c.gui, c.win
    held = recovery_files(c.state)
    second = c.start("gui-2")
    expect_no_box(1.0)
    close_and_expect_end(c.run, second)
    if recovery_files(c.state) != held or not recovery_holds(c.state, c.lpg):
        fail("the first program's recovery file alone, with its maps", recovery_files(c.state))
    c.gui, c.win, ui.APP_PID = first, first_win, first.pid


@step
def killed_program_restored(c):
    """The first program killed; the next one, under a Russian locale, offers
    its maps, "Да" brings them back as one step that Ctrl+Z takes back and
    Ctrl+Shift+Z and Ctrl+Y bring again."""
    c.gui.send_signal(signal.SIGKILL)
    c.gui.wait(timeout=10)
    env = dict(c.run.env)
    env.pop("LC_ALL", None)
    env.update({"LANG": "ru_RU.UTF-8", "LC_CTYPE": "C.UTF-8"})
    c.start("gui-ru", env)
    answer_box("Message", RECOVERY_QUESTION, ("Да", "Нет"), "Да", timeout=20)
    c.win.page(PETROL_TABLE)
    check_grid(c.win, c.petrol, "petrol restored", ",")
    c.win.page(LPG_TABLE)
    check_grid(c.win, c.lpg, "LPG restored", ",")
    c.run.shot("restored")
    zeros = [0] * MAP_POINTS
    for keys, want in (("ctrl+z", zeros), ("ctrl+shift+z", c.lpg), ("ctrl+z", zeros), ("ctrl+y", c.lpg)):
        key(keys)
        check_grid(c.win, want, "LPG after %s" % keys, ",")


@step
def comma_locale_grid(c):
    """Under the Russian locale "3.5" is no number: Enter shows the error box
    and stores nothing; "3,5" is stored."""
    win = c.win
    click(win.grid_cell(12))
    type_text("3.5")
    key("Return")
    expect_error("'3.5' is not a valid floating point value.")
    key("ctrl+a")
    type_text("3,5")
    key("Return")
    expect_no_box(0.5)
    c.lpg[12] = 3500
    check_grid(win, c.lpg, "LPG after '3,5'", ",")


@step
def close_question(c):
    """The close a window manager sends: "Отмена" keeps the window, "Нет"
    ends the program, and a normal end leaves no recovery file."""
    close_and_expect_end(c.run, c.gui, ("Отмена", "Нет"))
    if recovery_files(c.state):
        fail("no recovery file after a normal end", recovery_files(c.state))


def start_sim(run):
    state_file = os.path.join(run.tmp, "sim-state.txt")
    presets = ["--value=%d:%d" % (LPG_FIRST + i, v) for i, v in enumerate(START_LPG)]
    presets += ["--value=%d:%d" % (PETROL_FIRST + i, v) for i, v in enumerate(START_PETROL)]
    presets += ["--value=%d:%d" % (START_TIMEOUT, START_TIMEOUT_VALUE),
                "--value=%d:%d" % (FIRMWARE, FIRMWARE_VALUE)]
    p = run.start("sim", [run.args.sim, "--com=%d" % PORT, "--instant", "--fault=delay,800,param=%d" % (LPG_FIRST + 40),
                          "--state-file=%s" % state_file] + presets, stdout=subprocess.PIPE)
    pty = p.stdout.readline().decode().strip()
    if not pty.startswith("/dev/"):
        fail("the simulator to print its line's path", pty or "nothing (see e2e-sim.log)")
    sim = Sim(p, state_file)
    check_sim(sim, START_LPG, START_PETROL, START_TIMEOUT_VALUE, "at start")
    return sim


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--gui", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--size", default="1280x800")
    args = parser.parse_args()
    # The programs start in a folder of their own.
    args.gui, args.sim, args.cli = os.path.abspath(args.gui), os.path.abspath(args.sim), os.path.abspath(args.cli)
    run = Run(args)
    contexts = []

    def body():
        state = os.path.join(run.tmp, "state")
        prepare_session(run, {"XDG_STATE_HOME": state})
        run.log("display %s, screen %s" % (run.env["DISPLAY"], args.size))
        ui.attach(run)
        c = Context(run, start_sim(run), state)
        contexts.append(c)
        for fn in STEPS:
            run.log("step: %s" % fn.__name__)
            fn(c)
        run.log("PASS (%s, %.1f s)" % (args.size, time.monotonic() - run.t0))

    def report_gui():
        gui = contexts[0].gui if contexts else None
        if gui is not None and gui.poll() not in (0, None, -signal.SIGKILL):
            print("tarvo-gui ended with status %s (see e2e-gui*.log)" % gui.returncode, flush=True)

    return run_main(run, body, before_stop=report_gui)


if __name__ == "__main__":
    sys.exit(main())
