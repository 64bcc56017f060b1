#!/usr/bin/env bash
# Sets up, builds and runs every test: the unit and widget tests (offscreen),
# the device tests over pseudo-terminals against the variator simulator, and
# the end-to-end run of the real program under Xvfb.
# --sanitize builds and runs the same tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

# The builds are the presets of CMakePresets.json: normal (build/) and
# sanitize (build-asan/).
preset=normal
if [ "${1:-}" = "--sanitize" ]; then
  preset=sanitize
fi

bash scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
ctest --preset "$preset"
