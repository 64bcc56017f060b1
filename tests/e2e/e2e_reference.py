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
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_driver as d  # noqa: E402
from e2e_checks import check_grid  # noqa: E402
from e2e_harness import fail, missing_tools, wait_until  # noqa: E402
from e2e_window import (MAP_POINTS, click, click_at, expect_message, expect_no_box, extents, find,  # noqa: E402
                        find_all, key)


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
    everything = list(range(MAP_POINTS))

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
    check_grid(win, [0] * MAP_POINTS, "LPG untouched by the compare")

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
    check_grid(win, lpg, "LPG keeps its edits")
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
    """The driver's run (Xvfb, accessibility bus, simulator, program, the close
    at the end) with this scenario in place of its own. Exit status 77: a tool
    it needs is missing."""
    missing = missing_tools()
    if missing:
        print("e2e_reference: skipped, missing: %s" % " ".join(missing))
        return 77
    d.scenario = scenario
    d.russian_grids = lambda run, gui: None
    return d.main()


if __name__ == "__main__":
    sys.exit(main())
