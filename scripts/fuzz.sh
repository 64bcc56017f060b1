#!/usr/bin/env bash
# Builds the map file fuzzer (preset fuzz: Clang with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz/) and runs it
# for SECONDS (default 120). Fails on any finding: a crash, a sanitizer
# report, a broken invariant of the reader, an input that takes over 10 s, or
# one allocation of 1 MB or more for an input of at most 16 KiB. The input
# that found it is kept in build-fuzz/findings/. Inputs that reached new code
# are kept in build-fuzz/corpus/ and start the next run; the committed seeds
# are in tests/fuzz/corpus/.
# Usage: bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-120}"
bash scripts/deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" >/dev/null

out=build-fuzz
mkdir -p "$out/corpus" "$out/findings"
log="$out/fuzz.log"
status=0
# A small quarantine keeps AddressSanitizer from touching fresh pages for
# every input (about twice the inputs a second); leaks are looked for.
ASAN_OPTIONS="quarantine_size_mb=16:detect_leaks=1" \
  "$out/tests/fuzz/fuzz-mapfile" "$out/corpus" tests/fuzz/corpus \
  -dict=tests/fuzz/mapfile.dict -max_total_time="$seconds" -max_len=16384 -malloc_limit_mb=1 -timeout=10 \
  -artifact_prefix="$out/findings/" -print_final_stats=1 >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 80 "$log" >&2
  echo "fuzz: FINDING (exit $status); the whole log is $log, the input in $out/findings/" >&2
  exit 1
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
echo "fuzz: $runs inputs in ${seconds} s, no finding; corpus $(ls "$out/corpus" | wc -l) files in $out/corpus"
