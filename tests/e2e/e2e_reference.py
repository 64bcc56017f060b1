#!/usr/bin/python3
"""End-to-end run of the reference maps and "Сравнить с вариатором" in the real
tarvo-gui against variator-sim, under a private Xvfb and accessibility bus
(helpers of e2e_driver.py):

1. connect on COM 7; a compare before any read names the points of both maps
   (the program starts with zeros, the simulator holds two curves);
2. read; on the LPG chart the whole map goes up by 0.5 degree and point 30
   by 3 degrees more; the compare names the LPG points alone; the chart then
   shows the variator's map as a grey dashed line under the edited one
   (screenshot "reference-line");
3. "Вид" / "Показывать исходную карту" off and on again;
4. write; the compare finds the maps equal.

Usage: e2e_reference.py --gui PATH --sim PATH --out DIR [--size WxH]
Exit status 77: a tool it needs is missing.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_driver as d  # noqa: E402
from e2e_driver import (Failure, Window, click, click_at, expect_message, expect_no_box, extents,  # noqa: E402
                        fail, find, find_all, key, main_frame, showing, wait_until)


def listed(points):
    """The speeds of a comparison message: at most ten, then ", …"."""
    text = ", ".join(str(i * 100) for i in points[:10])
    return text + (", …" if len(points) > 10 else "") + " об/мин"


def differ(lpg, petrol):
    maps = []
    if lpg:
        maps.append("газ: " + listed(lpg))
    if petrol:
        maps.append("бензин: " + listed(petrol))
    return "Отличаются точек: %d (%s)" % (len(lpg) + len(petrol), "; ".join(maps))


def scenario(run, sim, win):
    log = run.log
    everything = list(range(d.MAP_POINTS))

    log("connect on COM %d" % d.PORT)
    win.set_edit(win.port_edit(), str(d.PORT))
    win.menu("Подключение", "Подключиться")
    expect_message("Вариатор подключен")

    log("compare before reading")
    requests = sim.maps()[3]
    win.menu("Подключение", "Сравнить с вариатором")
    expect_message(differ(everything, everything), 30)
    if sim.maps()[3] - requests != 160:
        fail("160 map exchanges for the compare", sim.maps()[3] - requests)
    win.page("Таблица УОЗ для газа")
    d.check_grid(win, [0] * d.MAP_POINTS, "LPG untouched by the compare")

    log("read")
    click(win.button("Чтение данных из вариатора"))
    wait_until("the read to finish", lambda: not win.busy(), 30)
    expect_no_box(0.3)

    log("LPG chart: the whole map up 1.5, point 30 up 3 more")
    win.page("Карта УОЗ для газа")
    chart_page = [f for f in find_all(win.frame, "filler") if any(
        c.name == "Двигать всю карту" for c in find_all(f, "check box"))][0]
    cx, cy, cw, ch = extents(chart_page)
    click_at(cx + cw // 2, cy + ch // 4)
    key("Up", "Up", "Up")
    click(find(chart_page, "check box", "Двигать всю карту"))
    click_at(cx + cw // 2, cy + ch // 4)
    key(*["Right"] * 30)
    key(*["Up"] * 6)
    lpg = [v + 1500 + (3000 if i == 30 else 0) for i, v in enumerate(d.START_LPG)]

    log("compare after the edits")
    win.menu("Подключение", "Сравнить с вариатором")
    expect_message(differ(everything, []), 30)
    time.sleep(0.3)
    run.shot("reference-line")
    win.page("Таблица УОЗ для газа")
    d.check_grid(win, lpg, "LPG keeps its edits")
    run.shot("reference-marks")

    log("Вид / Показывать исходную карту off and on")
    win.page("Карта УОЗ для газа")
    win.menu("Вид", "Показывать исходную карту")
    expect_no_box(0.3)
    run.shot("reference-hidden")
    win.menu("Вид", "Показывать исходную карту")
    expect_no_box(0.3)

    log("write, then compare")
    click(win.button("Запись данных в вариатор"))
    wait_until("the write to finish", lambda: not win.busy(), 30)
    expect_no_box(0.5)
    win.menu("Подключение", "Сравнить с вариатором")
    expect_message("Карты совпадают с вариатором", 30)
    run.shot("reference-matches")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--gui", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--size", default="1280x800")
    args = parser.parse_args()

    missing = [t for t in ("Xvfb", "xdotool", "dbus-daemon", "import") if not shutil.which(t)]
    try:
        import pyatspi  # noqa: F401
        import Xlib  # noqa: F401
    except ImportError:
        missing.append("python3-pyatspi/python3-xlib")
    if missing:
        print("e2e_reference: skipped, missing: %s" % " ".join(missing))
        return 77

    run = d.RUN = d.Run(args)

    def on_term(signum, frame):
        raise Failure("stopped by signal %d (time-out)" % signum)
    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGINT, on_term)

    status = 1
    try:
        xdg = os.path.join(run.tmp, "runtime")
        os.mkdir(xdg, 0o700)
        run.env.update({
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
        run.env.pop("QT_QPA_PLATFORM", None)
        run.env.pop("WAYLAND_DISPLAY", None)
        d.start_x(run, args.size)
        d.start_dbus(run)
        for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
            os.environ[k] = run.env[k]
        import pyatspi as p
        d.pyatspi = p
        from gi.repository import Atspi
        Atspi.set_timeout(5000, 15000)
        p.Registry.getDesktop(0)

        state_file = os.path.join(run.tmp, "sim-state.txt")
        presets = ["--value=%d:%d" % (d.LPG_FIRST + i, v) for i, v in enumerate(d.START_LPG)]
        presets += ["--value=%d:%d" % (d.PETROL_FIRST + i, v) for i, v in enumerate(d.START_PETROL)]
        simp = run.start("sim", [args.sim, "--com=%d" % d.PORT, "--instant",
                                 "--state-file=%s" % state_file] + presets, stdout=subprocess.PIPE)
        pty = simp.stdout.readline().decode().strip()
        if not pty.startswith("/dev/"):
            fail("the simulator to print its line's path", pty or "nothing (see e2e-sim.log)")
        sim = d.Sim(simp, state_file)

        maps = os.path.join(run.tmp, "maps")
        os.mkdir(maps)
        gui = run.start("gui", [args.gui], cwd=maps)
        d.APP_PID = gui.pid
        frame = wait_until("the program's window in the accessibility tree", main_frame, 30, 0.3)
        wait_until("the window shown", lambda: showing(frame) and extents(frame)[2] > 100, 10)
        time.sleep(0.5)

        scenario(run, sim, Window(frame))
        run.log("PASS (%.1f s)" % (time.monotonic() - run.t0))
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
        run.stop_all()
    return status


if __name__ == "__main__":
    sys.exit(main())
