#!/usr/bin/env bash
# Sets up, builds and starts tarvo-gui. A bench variator simulator is started
# on COM 7 beside it, so the program can be tried without a car: type 7 into
# the port box and choose "Подключение" -> "Подключиться".
# Set TARVO_NO_SIM=1 to start the program alone (a real variator attached).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset normal >/dev/null
cmake --build --preset normal -j"$(nproc)" --target tarvo-gui variator-sim

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ "${TARVO_NO_SIM:-0}" != "1" ]; then
  ./build/sim/variator-sim --com 7 > /tmp/variator-sim-$$.log &
  sim_pid=$!
  sleep 0.5
  echo "Variator simulator on COM 7 ($(head -n1 /tmp/variator-sim-$$.log 2>/dev/null))."
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the program on a virtual display (xvfb-run)."
  xvfb-run -a -s "-screen 0 1280x800x24" ./build/tarvo-gui
else
  ./build/tarvo-gui
fi
