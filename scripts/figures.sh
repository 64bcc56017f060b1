#!/usr/bin/env bash
# Prints the program's figures in one table, each as a ratio to a yardstick
# measured in the same run, with how it was measured beside it: transfers
# against a bare client over the same simulator, start-up and memory against
# a bare Qt window with two charts and two 81-column tables, and the chart
# key-edit latency. Figures are taken where the user sees the program, on a
# real X server (a private Xvfb), and offscreen where that helps to compare.
# tarvo-cli's read and writes are set beside the same bare client.
# Builds into build/ first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset normal >/dev/null
cmake --build --preset normal -j"$(nproc)" --target tarvo-gui tarvo-cli variator-sim bench-transfer bench-chart-keys \
  bench-cli bench-startup bench-bare-window bench-history >/dev/null

work=$(mktemp -d)
# The programs started here are killed: their recovery folder is a throw-away
# one, and so is the history folder of their restore points.
export XDG_STATE_HOME="$work/state"
export XDG_DATA_HOME="$work/data"
# Nor may a history folder chosen by the user stand in for theirs.
export XDG_CONFIG_HOME="$work/config"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 50); do
  read -r -t 0.1 -u "$fd" display || true
  [ -n "$display" ] && break
done
[ -n "$display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"

rows=()
# row FIGURE HOW VALUE
row() { rows+=("| $1 | $2 | $3 |"); }

# Transfers: the program's full read and write beside a bare termios client
# making the same exchanges over the same simulator, which paces a real
# 9600-baud line (12.5 ms an exchange).
for platform in xcb offscreen; do
  where="Xvfb"
  [ "$platform" = offscreen ] && where="offscreen"
  while IFS= read -r line; do
    if [[ "$line" =~ ^write\ changes,\ ([0-9]+)\ points,\ ([0-9]+)\ exchanges,\ [a-z]+,\ best\ of\ ([0-9]+):\ (.*)$ ]]; then
      row "\"Записать изменения\", ${BASH_REMATCH[1]} changed points, ${BASH_REMATCH[2]} exchanges" \
        "$where; after a read, each point written and read back, beside the line limit and the full write of the same run, best of ${BASH_REMATCH[3]}" \
        "${BASH_REMATCH[4]}"
      continue
    fi
    [[ "$line" =~ ^(read|write),\ ([0-9]+)\ exchanges,\ [a-z]+,\ best\ of\ ([0-9]+):\ (.*)$ ]] || continue
    row "full ${BASH_REMATCH[1]}, ${BASH_REMATCH[2]} exchanges" \
      "$where; program / bare client on the same simulator pacing 9600 baud, same run, best of ${BASH_REMATCH[3]} each" \
      "${BASH_REMATCH[4]}"
  done < <(QT_QPA_PLATFORM=$platform ./build/bench/bench-transfer 2>/dev/null || true)
done

# Start-up: from the fork to the X server's map event of the first top-level
# window, the program and the bare window in turn.
start=$(QT_QPA_PLATFORM=xcb ./build/bench/bench-startup 15 ./build/tarvo-gui ./build/bench/bench-bare-window || true)
if [[ "$start" =~ median\ of\ ([0-9]+):\ (.*),\ ratio\ ([0-9.]+)$ ]]; then
  row "start-up to first shown window" \
    "Xvfb; fork to the X server's MapNotify (an event wait, no polling), program / bare window with two charts and two 81-column tables, in turn, median of ${BASH_REMATCH[1]} each" \
    "ratio ${BASH_REMATCH[3]}: ${BASH_REMATCH[2]}"
fi

# tarvo-cli as a program beside the bare client over the same paced simulator.
while IFS= read -r line; do
  [ -n "$line" ] && row "${line%%:*}" "tarvo-cli / bare client on the same simulator pacing 9600 baud, same run" "${line#*: }"
done < <(./build/bench/bench-cli 2>/dev/null | grep -E '^tarvo-cli' || true)

# Map edits: the whole-map key edit, a marker drag step and each range command
# on 80 points, each from its input to the chart repainted, beside a bare Qt
# Charts line series of 80 points with markers whose values all change and
# repaint the same way, in front of a grey dashed reference line of 80 points,
# in the same run, presses alternating; idle, and with two busy processes.
busy() {
  local pids=()
  for _ in 1 2; do
    bash -c 'while :; do :; done' &
    pids+=($!)
  done
  "$@" || true
  kill "${pids[@]}" 2>/dev/null || true
  wait "${pids[@]}" 2>/dev/null || true
}
edits() {
  local platform=$1 load=$2
  QT_QPA_PLATFORM=$platform ./build/bench/bench-chart-keys "$load" 2>/dev/null >"$work/edits" || true
  local where="Xvfb"
  [ "$platform" = offscreen ] && where="offscreen"
  while IFS= read -r line; do
    [[ "$line" =~ ^(.*),\ [a-z]+,\ ([^:]*):\ (.*)\(([0-9]+)\ each\)$ ]] || continue
    row "${BASH_REMATCH[1]}" \
      "$where, ${BASH_REMATCH[2]}; input to the chart repainted, program / bare chart of 80 points with markers all changing before a dashed 80-point reference line, presses alternating, ${BASH_REMATCH[4]} each (one frame is 16 ms)" \
      "${BASH_REMATCH[3]% }"
  done <"$work/edits"
}
edits xcb idle
busy edits xcb "2 busy processes"
edits offscreen idle

# "История…" from the menu item to the list painted, with 15,000 and 100,000
# restore points beside an empty history folder.
while IFS= read -r line; do
  if [[ "$line" =~ ^history\ live,\ ([0-9]+)\ restore\ points,\ [a-z]+:\ (.*)$ ]]; then
    row "\"История…\" open, ${BASH_REMATCH[1]} restore points, another writer adding" \
      "Xvfb; from each point published to its row in the open list, while the list still reads its maps" "${BASH_REMATCH[2]}"
    continue
  fi
  [[ "$line" =~ ^history\ open,\ ([0-9]+)\ restore\ points,\ [a-z]+:\ (.*)$ ]] || continue
  row "\"История…\" opened, ${BASH_REMATCH[1]} restore points with notes, four workstations" \
    "Xvfb; menu item to the list painted, median of 5, beside an empty history folder in turn" "${BASH_REMATCH[2]}"
done < <(QT_QPA_PLATFORM=xcb ./build/bench/bench-history 2>/dev/null || true)

# Peak memory (maximum resident set), shown and idle for two seconds.
rss() {
  /usr/bin/time -f '%M' -o "$work/rss" bash -c "QT_QPA_PLATFORM=xcb $1 >/dev/null 2>&1 & p=\$!; sleep 2; kill \$p; wait \$p" \
    2>/dev/null || true
  tail -n1 "$work/rss"
}
program_kb=$(rss ./build/tarvo-gui)
bare_kb=$(rss ./build/bench/bench-bare-window)
row "peak memory, window shown and idle" "Xvfb; maximum resident set over 2 s, program / bare window" \
  "ratio $(awk -v p="$program_kb" -v b="$bare_kb" 'BEGIN { printf "%.2f", p / b }'): program $(( program_kb / 1024 )) MiB, bare window $(( bare_kb / 1024 )) MiB"

echo "| figure | how measured | value |"
echo "|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "Measured on $(date -u +%Y-%m-%d): $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(. /etc/os-release; echo "$PRETTY_NAME"), load $(cut -d' ' -f1 /proc/loadavg)"
