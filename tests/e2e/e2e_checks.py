#!/usr/bin/python3
"""Checks of the end-to-end run: the grids as the program shows them, the
simulator's stored values, the saved map file and the recovery files, each
against expected values computed here."""

import os
import signal
import xml.etree.ElementTree as ET

from e2e_harness import Failure, fail, wait_until
from e2e_window import MAP_POINTS

LPG_FIRST = 80
PETROL_FIRST = 0
FIRMWARE = 160
START_TIMEOUT = 166


def general(value, point="."):
    """The program's number text with the decimal separator `point` (15
    significant digits)."""
    text = "%.15g" % value
    if "e" in text:
        mantissa, exponent = text.split("e")
        text = "%sE%s" % (mantissa, int(exponent))
    return text.replace(".", point)


def first_diffs(want, seen):
    diffs = [i for i in range(MAP_POINTS) if i >= len(seen) or want[i] != seen[i]]
    return ("%s at points %s (%d differ)" % ([seen[i] if i < len(seen) else None for i in diffs[:6]], diffs[:6],
                                            len(diffs)), [want[i] for i in diffs[:6]])


def check_grid(win, expected_thousandths, what, point="."):
    """Waits for the showing grid to show the values; on a time-out, reports
    where it differs."""
    want = [general(v / 1000.0, point) for v in expected_thousandths]
    seen = []

    def shows_them():
        seen[:] = win.grid_texts()
        return seen == want
    try:
        wait_until("%s grid" % what, shows_them, 5)
    except Failure:
        if len(seen) != MAP_POINTS:
            raise
        where, wanted = first_diffs(want, seen)
        fail("%s grid %s" % (what, wanted), where)


class Sim:
    def __init__(self, proc, state_file):
        self.proc = proc
        self.state_file = state_file

    def values(self):
        """Asks the simulator for its stored values: {param: value}."""
        try:
            os.remove(self.state_file)
        except FileNotFoundError:
            pass
        self.proc.send_signal(signal.SIGUSR1)
        wait_until("the simulator's state file", lambda: os.path.exists(self.state_file), 10)
        with open(self.state_file) as f:
            text = f.read()
        if "requests" not in text:
            fail("a complete state file", text[:200])
        return {int(p[0]): int(p[1]) for p in (line.split() for line in text.splitlines())
                if len(p) == 2 and p[0] != "requests"}


def check_sim(sim, lpg, petrol, timeout_value, what):
    s = sim.values()
    for name, want, first in (("LPG", lpg, LPG_FIRST), ("petrol", petrol, PETROL_FIRST)):
        seen = [s.get(first + i, 0) for i in range(MAP_POINTS)]
        if want != seen:
            where, wanted = first_diffs(want, seen)
            fail("%s: simulator's %s map %s" % (what, name, wanted), where)
    if s.get(START_TIMEOUT, 0) != timeout_value:
        fail("%s: simulator's start timeout %d" % (what, timeout_value), s.get(START_TIMEOUT, 0))


def file_maps(path):
    """The root of a map file and the point texts of its two maps."""
    root = ET.parse(path).getroot()
    if root.tag != "variatorTarvo" or [c.tag for c in root] != ["Settings", "LPGmap", "Petrolmap"]:
        fail("<variatorTarvo> with Settings, LPGmap, Petrolmap in %s" % path,
             "%s %s" % (root.tag, [c.tag for c in root]))
    return root, [p.text for p in root[1]], [p.text for p in root[2]]


def check_file(path, lpg, petrol, timeout_text):
    root, lpg_texts, petrol_texts = file_maps(path)
    if root[0].get("Timeout") != timeout_text:
        fail("Timeout='%s' in the file" % timeout_text, root[0].get("Timeout"))
    for element, texts, want, name in ((root[1], lpg_texts, lpg, "LPG"), (root[2], petrol_texts, petrol, "petrol")):
        want_texts = [str(v) for v in want]
        if texts != want_texts:
            where, wanted = first_diffs(want_texts, texts)
            fail("%s points in the file %s" % (name, wanted), where)
        attrs = [list(p.attrib.items()) for p in element]
        want_attrs = [[("UOZ%d" % (100 * i), general(want[i] / 1000.0))] for i in range(MAP_POINTS)]
        if attrs != want_attrs:
            fail("%s point attributes %s" % (name, want_attrs[:2]), attrs[:2])


def recovery_files(state):
    folder = os.path.join(state, "tarvo-gui")
    if not os.path.isdir(folder):
        return []
    return sorted(os.path.join(folder, n) for n in os.listdir(folder)
                  if n.startswith("recovery-") and n.endswith(".xml"))


def recovery_holds(state, lpg):
    """The one recovery file there is, when it holds the LPG map lpg."""
    files = recovery_files(state)
    try:
        return files[0] if len(files) == 1 and file_maps(files[0])[1] == [str(v) for v in lpg] else None
    except ET.ParseError:  # caught while it is being written
        return None
