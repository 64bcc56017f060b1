#!/usr/bin/python3
"""End-to-end run of undo, redo and crash recovery in the real tarvo-gui.

Under a private Xvfb and accessibility bus (e2e_harness.py, e2e_window.py), with
XDG_STATE_HOME in a folder of its own:

1. program A: template, a chart key, a grid cell; Ctrl+Z, Ctrl+Shift+Z,
   Ctrl+Y and the menu "Правка" walk the edits back and forth; the recovery
   file appears within a second of the last change;
2. program B runs at the same time: it asks nothing (A's file is A's), edits,
   and a normal close removes its own file only;
3. A is killed with SIGKILL; program C asks "Предыдущий сеанс завершился
   некорректно. Восстановить несохранённые карты?", "Да" brings back A's maps,
   Ctrl+Z takes the restore back, and a normal close leaves no file;
4. program D edits and is killed; E asks, "Нет" deletes the file.

Usage: e2e_recovery.py --gui PATH --out DIR [--size WxH]
Exit status 77: a tool it needs is missing.
"""

import argparse
import os
import signal
import sys
import time
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_window as ui  # noqa: E402
from e2e_checks import check_grid  # noqa: E402
from e2e_harness import Run, fail, missing_tools, prepare_session, run_main, wait_until  # noqa: E402
from e2e_window import (box_text, click, click_at, expect_no_box, extents, find,  # noqa: E402
                        find_all, key, main_frame, top_windows, type_text, use_program)

QUESTION = "Предыдущий сеанс завершился некорректно. Восстановить несохранённые карты?"
POINTS = 80


def recovery_files(run):
    folder = os.path.join(run.state, "tarvo-gui")
    if not os.path.isdir(folder):
        return []
    return sorted(os.path.join(folder, n) for n in os.listdir(folder)
                  if n.startswith("recovery-") and n.endswith(".xml"))


def file_lpg(path):
    root = ET.parse(path).getroot()
    return [int(p.text) for p in root[1]]


def start_gui(run, name):
    p = run.start(name, [run.args.gui], cwd=run.maps)
    return p, use_program(p, "%s's window" % name)


def use(p):
    """Points the accessibility look-ups at program p."""
    ui.APP_PID = p.pid
    frame = wait_until("the window of pid %d" % p.pid, main_frame, 10)
    return ui.Window(frame)


def answer_question(run, button):
    w = wait_until("the question '%s'" % QUESTION, lambda: (top_windows() or [None])[0], 20)
    seen = box_text(w)
    run.shot("question")
    if w.name != "Message" or seen != QUESTION:
        fail("box 'Message' with '%s'" % QUESTION, "box '%s' with '%s'" % (w.name, seen))
    names = sorted(b.name for b in find_all(w, "push button"))
    if names != ["Да", "Нет"]:
        fail("the buttons Да and Нет", names)
    click(find(w, "push button", button))
    wait_until("the question to close", lambda: not top_windows(), 10)


def kill(p):
    p.send_signal(signal.SIGKILL)
    p.wait(timeout=10)


def chart_up(win):
    win.page("Карта УОЗ для газа")
    page = [f for f in find_all(win.frame, "filler")
            if any(c.name == "Двигать всю карту" for c in find_all(f, "check box"))][0]
    cx, cy, cw, ch = extents(page)
    click_at(cx + cw // 2, cy + ch // 4)
    key("Up")


def scenario(run):
    log = run.log
    log("A: template, chart Up, cell 5 = 12.5")
    a, win = start_gui(run, "gui-a")
    expect_no_box(1.0)
    click(win.button("Шаблон данных"))
    chart_up(win)
    win.page("Таблица УОЗ для газа")
    lpg = [9500] * POINTS
    check_grid(win, lpg, "LPG after template and Up")
    click(win.grid_cell(5))
    type_text("12.5")
    key("Return")
    edited = list(lpg)
    edited[5] = 12500
    check_grid(win, edited, "LPG after the cell")
    t_change = time.monotonic()

    log("A: undo and redo from the keyboard and the menu")
    for keys, want, what in (("ctrl+z", lpg, "Ctrl+Z"), ("ctrl+shift+z", edited, "Ctrl+Shift+Z"),
                             ("ctrl+z", lpg, "Ctrl+Z again"), ("ctrl+y", edited, "Ctrl+Y")):
        key(keys)
        check_grid(win, want, "LPG after %s" % what)
    win.menu("Правка", "Отменить")
    check_grid(win, lpg, "LPG after Правка / Отменить")
    win.menu("Правка", "Повторить")
    check_grid(win, edited, "LPG after Правка / Повторить")
    t_change = time.monotonic()
    # Three steps: the template, the run of chart keys, the cell.
    key("ctrl+z", "ctrl+z")
    check_grid(win, [9000] * POINTS, "LPG after two undos")
    key("ctrl+z")
    check_grid(win, [0] * POINTS, "LPG after three undos")
    win.page("Таблица УОЗ для бензина")
    check_grid(win, [0] * POINTS, "petrol after three undos")
    key("ctrl+y", "ctrl+y", "ctrl+y")
    check_grid(win, [2000] * POINTS, "petrol after three redos")
    win.page("Таблица УОЗ для газа")
    check_grid(win, edited, "LPG after three redos")
    t_change = time.monotonic()
    run.shot("a-edited")

    wait_until("A's recovery file with the edits",
               lambda: len(recovery_files(run)) == 1 and file_lpg(recovery_files(run)[0]) == edited, 5, 0.05)
    log("  recovery file up to date %.2f s after the last change" % (time.monotonic() - t_change))
    a_file = recovery_files(run)[0]

    log("B at the same time: no question, its own file")
    b, win_b = start_gui(run, "gui-b")
    expect_no_box(1.5)
    click(win_b.button("Шаблон данных"))
    wait_until("two recovery files", lambda: len(recovery_files(run)) == 2, 5)
    ui.close_and_expect_end(run, b, b.pid, answer="Нет")
    if recovery_files(run) != [a_file] or file_lpg(a_file) != edited:
        fail("only A's file with A's maps after B's close", recovery_files(run))

    log("A killed; C restores with Да")
    kill(a)
    c, win = start_gui(run, "gui-c")
    answer_question(run, "Да")
    win.page("Таблица УОЗ для газа")
    check_grid(win, edited, "LPG restored")
    win.page("Таблица УОЗ для бензина")
    check_grid(win, [2000] * POINTS, "petrol restored")
    run.shot("c-restored")
    key("ctrl+z")
    check_grid(win, [0] * POINTS, "petrol after undoing the restore")
    key("ctrl+shift+z")
    check_grid(win, [2000] * POINTS, "petrol after redoing the restore")
    wait_until("C's own file in place of A's",
               lambda: len(recovery_files(run)) == 1 and recovery_files(run)[0] != a_file, 5)
    ui.close_and_expect_end(run, c, c.pid, answer="Нет")
    if recovery_files(run):
        fail("no recovery file after C's normal close", recovery_files(run))

    log("D edits and is killed; E answers Нет")
    dp, win = start_gui(run, "gui-d")
    expect_no_box(1.0)
    click(win.button("Шаблон данных"))
    wait_until("D's recovery file", lambda: len(recovery_files(run)) == 1, 5)
    kill(dp)
    e, win = start_gui(run, "gui-e")
    answer_question(run, "Нет")
    if recovery_files(run):
        fail("the file deleted after Нет", recovery_files(run))
    win.page("Таблица УОЗ для газа")
    check_grid(win, [0] * POINTS, "LPG after Нет")
    ui.close_and_expect_end(run, e, e.pid)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--gui", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--size", default="1280x800")
    args = parser.parse_args()

    missing = missing_tools()
    if missing:
        print("e2e_recovery: skipped, missing: %s" % " ".join(missing))
        return 77

    run = Run(args)

    def body():
        run.state = os.path.join(run.tmp, "state")
        prepare_session(run, {"XDG_STATE_HOME": run.state})
        ui.attach(run)
        scenario(run)
        run.log("PASS (%.1f s)" % (time.monotonic() - run.t0))

    return run_main(run, body)


if __name__ == "__main__":
    sys.exit(main())
