#!/usr/bin/env bash
# Checks the source tree's shape, then builds and runs every test: natively (Release and sanitizers), then the Windows build
# under Wine with its end-to-end tests in a virtual display. The 32-bit Windows build is
# always compiled (that alone checks the AR interface layouts, the installer and the
# packaging); its tests run where this host runs 32-bit programs, else the 64-bit build's
# tests run under wine64 (scripts/host.sh decides).
# Usage: scripts/test.sh [linux|linux-asan|win32|win64 ...]   (default: all this host runs)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
. scripts/env.sh

# A preset named PRESET:build is built and not tested.
presets=("$@")
if ((${#presets[@]} == 0)); then
  presets=(linux linux-asan)
  if norvel_host_runs_32bit; then
    presets+=(win32)
    echo "=== Windows tests: win32 under Wine; $(norvel_host_says)"
  else
    presets+=(win32:build win64)
    echo "=== Windows tests: win32 built only, win64 tested; $(norvel_host_says)"
  fi
fi
jobs=$(nproc)

# The Windows programs' end-to-end tests need a display: a virtual one when none is set.
# They run one at a time, alone (RUN_SERIAL), since they share the desktop.
ctest_windows() {
  if [[ -z "${DISPLAY:-}" ]]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" scripts/ctest-wine.sh "$1" -j 2
  else
    scripts/ctest-wine.sh "$1" -j 2
  fi
}

# The source tree's shape (ARCHITECTURE.md): layers, platform code, builds, formatting.
status=0
echo "=== structure"
python3 scripts/check-structure.py || status=1

for entry in "${presets[@]}"; do
  preset=${entry%:build}
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [[ $entry == *:build ]]; then
    # Built only: the checks that read the programs' files need no Wine.
    ctest --preset "$preset" -L headers || status=1
    continue
  fi
  echo "=== $preset: test"
  case $preset in
    win32)
      if ! norvel_host_runs_32bit; then
        echo "win32: built; its tests need a host that runs 32-bit programs, and $(norvel_host_says)" >&2
        status=1
        continue
      fi
      ctest_windows "$preset" || status=1
      ;;
    win64) ctest_windows "$preset" || status=1 ;;
    *) ctest --preset "$preset" -j "$jobs" || status=1 ;;
  esac
done
exit $status
