#!/usr/bin/env bash
# End-to-end run of the real program under Xvfb, driven from outside.
# Usage: run_e2e.sh TARVO_GUI VARIATOR_SIM OUTPUT_DIR [WIDTHxHEIGHT]
# Screenshots go to OUTPUT_DIR/e2e-shots, process logs to OUTPUT_DIR/e2e-*.log.
# E2E_TIMEOUT (seconds, default 240) bounds the whole run; the driver then
# stops every process it started.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
gui="$1" sim="$2" out="$3" size="${4:-${E2E_SIZE:-1280x800}}" cli="${5:-$(dirname "$1")/cli/tarvo-cli}"

# Debian's python3 carries the accessibility bindings (python3-pyatspi).
python=/usr/bin/python3
missing=()
for tool in Xvfb xdotool xclip dbus-daemon import; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ -x "$python" ] && "$python" -c "import pyatspi, Xlib" 2>/dev/null || missing+=("python3-pyatspi/python3-xlib")
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=("at-spi2-core")
if [ ${#missing[@]} -gt 0 ]; then
  echo "e2e: skipped, missing: ${missing[*]} (bash scripts/deps.sh installs them)"
  exit 77
fi

mkdir -p "$out"
exec timeout --signal=TERM --kill-after=15 "${E2E_TIMEOUT:-240}" \
  "$python" "$here/e2e_driver.py" --gui "$gui" --sim "$sim" --cli "$cli" --out "$out" --size "$size"
