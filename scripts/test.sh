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
  # The random-input test runs about two minutes here instead of fifteen
  # seconds.
  export TARVO_RANDOM_ACTIONS="${TARVO_RANDOM_ACTIONS:-400}"
fi

bash scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"

# Every test runs in folders of its own (tests/isolated.sh). The suite runs
# under an empty home and runtime folder of its own, which must stay empty:
# a test that wrote into the user's own folders would have written there.
outside=$(mktemp -d)
trap 'rm -rf "$outside"' EXIT
mkdir -m 700 "$outside/home" "$outside/runtime"
status=0
env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME \
  HOME="$outside/home" XDG_RUNTIME_DIR="$outside/runtime" ctest --preset "$preset" || status=$?
left=$(cd "$outside" && find home runtime -mindepth 1 | head -n 20)
if [ -n "$left" ]; then
  echo "test.sh: the tests wrote outside their own folders, into the home or runtime folder:" >&2
  echo "$left" >&2
  exit 1
fi
exit "$status"
