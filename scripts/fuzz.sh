#!/usr/bin/env bash
# Runs every libFuzzer target for a given time each (default 60 s), starting from its seed
# corpus; new inputs go to build/fuzz/corpus/<target>, crashes to build/fuzz/crashes.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2
targets=("$@")
if ((${#targets[@]} == 0)); then
  for exe in build/fuzz/bin/fuzz_*; do targets+=("$(basename "$exe")"); done
fi
mkdir -p build/fuzz/crashes
status=0
for t in "${targets[@]}"; do
  t=${t#fuzz_}
  corpus=build/fuzz/corpus/$t
  mkdir -p "$corpus"
  echo "=== fuzz_$t for ${seconds}s"
  build/fuzz/bin/fuzz_$t -max_total_time="$seconds" -artifact_prefix=build/fuzz/crashes/"$t"- \
    -print_final_stats=1 "$corpus" tests/fuzz/seeds/"$t" 2>&1 | tail -n 12 || status=1
done
exit $status
