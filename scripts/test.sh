#!/usr/bin/env bash
# Builds and runs every test: natively (Release and sanitizers) and the 32-bit Windows
# build under Wine, end-to-end tests in a virtual display included.
# Usage: scripts/test.sh [linux|linux-asan|win32 ...]   (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
. scripts/env.sh

presets=("$@")
((${#presets[@]})) || presets=(linux linux-asan win32)
jobs=$(nproc)

status=0
for preset in "${presets[@]}"; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset: test"
  if [[ "$preset" == win32 ]]; then
    # The Windows programs' end-to-end tests need a display: a virtual one when none is
    # set. They run one at a time, alone (RUN_SERIAL), since they share the desktop.
    if [[ -z "${DISPLAY:-}" ]]; then
      xvfb-run -a -s "-screen 0 1280x1024x24" scripts/ctest-wine.sh --preset "$preset" -j 2 || status=1
    else
      scripts/ctest-wine.sh --preset "$preset" -j 2 || status=1
    fi
  else
    ctest --preset "$preset" -j "$jobs" || status=1
  fi
done
exit $status
