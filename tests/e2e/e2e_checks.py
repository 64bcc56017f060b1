#!/usr/bin/python3
"""Checks of the end-to-end runs: the grids as the program shows them, the
simulator's stored values and the saved map file, each against expected
values computed here."""

import os
import signal
import xml.etree.ElementTree as ET

from e2e_harness import Failure, fail, wait_until
from e2e_window import MAP_POINTS

LPG_FIRST = 80
PETROL_FIRST = 0
FIRMWARE = 160
START_TIMEOUT = 166


def general(value):
    """The program's number text with the point separator (15 significant digits)."""
    text = "%.15g" % value
    if "e" in text:
        mantissa, exponent = text.split("e")
        text = "%sE%s" % (mantissa, int(exponent))
    return text


def check_grid(win, expected_thousandths, what):
    """Waits for the showing grid to show the values; on a time-out, reports
    where it differs."""
    want = [general(v / 1000.0) for v in expected_thousandths]
    seen = []

    def shows_them():
        seen[:] = win.grid_texts()
        return seen == want
    try:
        wait_until("%s grid" % what, shows_them, 5)
        return
    except Failure:
        if len(seen) != MAP_POINTS:
            raise
    diffs = [(i, want[i], seen[i]) for i in range(MAP_POINTS) if want[i] != seen[i]]
    fail("%s grid %s" % (what, [d[1] for d in diffs[:6]]),
         "%s at points %s (%d differ)" % ([d[2] for d in diffs[:6]], [d[0] for d in diffs[:6]], len(diffs)))


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
