#!/usr/bin/env bash
# Sets up, builds and runs every test: the unit and widget tests (offscreen),
# the device tests over pseudo-terminals against the variator simulator, and
# the end-to-end run of the real program under Xvfb.
# --sanitize builds and runs the same tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  args=(-DCMAKE_BUILD_TYPE=Debug -DTARVO_SANITIZE=ON)
fi

bash scripts/deps.sh
cmake -S . -B "$build" "${args[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure --timeout 900
