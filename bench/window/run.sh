#!/usr/bin/env bash
# Times the search window under Wine in a virtual display: Search to the first page drawn
# and Next to the next page drawn, on the benchmark corpus. Prints; asserts nothing.
# Usage: bench/window/run.sh [QUERY] [REPEAT]   (default: kernel, 15)
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup-deps.sh --bench
corpus=$(bench/make-corpus.sh)
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target window_bench
. scripts/env.sh
xvfb-run -a -s "-screen 0 1280x1024x24" \
  wine build/win32/bin/window_bench.exe "$(winepath -w "$PWD/$corpus")" "${1:-kernel}" "${2:-15}"
