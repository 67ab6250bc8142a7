#!/usr/bin/env bash
# Times the search window under Wine in a virtual display: Search to the first page drawn
# and Next to the next page drawn, on the benchmark corpus. Prints; asserts nothing.
# Usage: bench/window/run.sh [QUERY] [REPEAT]   (default: kernel, 15)
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup-deps.sh --bench
corpus=$(bench/make-corpus.sh)
. scripts/env.sh
preset=$(norvel_windows_preset)
echo "The $preset build; $(norvel_host_says)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target window_bench
xvfb-run -a -s "-screen 0 1280x1024x24" scripts/wine-run.sh build/$preset/bin/window_bench.exe \
  "$(scripts/wine-run.sh --path "$PWD/$corpus")" "${1:-kernel}" "${2:-15}"
