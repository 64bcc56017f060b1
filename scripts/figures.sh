#!/usr/bin/env bash
# Prints the program's figures in one table: transfer times against the
# 9600-baud line limit, tarvo-cli's read and writes beside a bare client,
# chart key-edit latency, start-up time to the first shown window and peak
# memory. Builds into build/ first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset normal >/dev/null
cmake --build --preset normal -j"$(nproc)" --target tarvo-gui tarvo-cli variator-sim bench-transfer bench-chart-keys bench-cli >/dev/null

work=$(mktemp -d)
# The programs started here are killed: their recovery folder is a throw-away one.
export XDG_STATE_HOME="$work/state"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Transfer against a simulator that paces a real 9600-baud line.
transfer=$(QT_QPA_PLATFORM=offscreen ./build/bench/bench-transfer 2>/dev/null | sed -n '/^best of/,$p' \
  | grep -E '^(read|write)' | sed -E 's/ +/ /g; s/^(read|write) /\1, /; s/exchanges:/exchanges, best of 3:/' || true)
# tarvo-cli as a program beside the bare client over the same paced simulator.
cli=$(./build/bench/bench-cli 2>/dev/null | grep -E '^tarvo-cli' || true)
# Chart key edits, offscreen, repaint included.
keys=$(QT_QPA_PLATFORM=offscreen ./build/bench/bench-chart-keys 2>/dev/null | grep -E '^chart key edit' || true)

# Start-up to the first shown window, under Xvfb, median of 5 runs; peak memory
# (maximum resident set) of the program shown and idle for two seconds.
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 50); do
  read -r -t 0.1 -u "$fd" display || true
  [ -n "$display" ] && break
done
export DISPLAY=":$display"
starts=()
for _ in 1 2 3 4 5; do
  t0=$(date +%s%N)
  ./build/tarvo-gui >/dev/null 2>&1 &
  pid=$!
  xdotool search --sync --onlyvisible --name '^Tarvo GUI$' >/dev/null
  t1=$(date +%s%N)
  starts+=($(( (t1 - t0) / 1000000 )))
  kill "$pid"; wait "$pid" 2>/dev/null || true
done
startup=$(printf '%s\n' "${starts[@]}" | sort -n | sed -n 3p)
/usr/bin/time -f '%M' -o "$work/rss" bash -c './build/tarvo-gui >/dev/null 2>&1 & p=$!; sleep 2; kill $p; wait $p' 2>/dev/null || true
rss_kb=$(tail -n1 "$work/rss")

echo "| figure | value |"
echo "|---|---|"
while IFS= read -r line; do [ -n "$line" ] && echo "| ${line%%:*} | ${line#*: } |"; done <<< "$transfer"
while IFS= read -r line; do [ -n "$line" ] && echo "| ${line%%:*} | ${line#*: } |"; done <<< "$cli"
while IFS= read -r line; do [ -n "$line" ] && echo "| ${line%%:*} | ${line#*: } |"; done <<< "$keys"
echo "| start-up to first shown window (median of 5, Xvfb) | ${startup} ms |"
echo "| peak memory, window shown and idle | $(( rss_kb / 1024 )) MiB |"
echo
echo "Measured on: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(. /etc/os-release; echo "$PRETTY_NAME")"
