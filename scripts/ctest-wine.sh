#!/usr/bin/env bash
# Runs CTest for a Windows build (win32 or win64) inside the current (virtual) display.
# Wine's server and its helper processes are started first, detached from our output, so
# that a test's first Wine process never leaves them holding CTest's pipes open. A server
# already running for the prefix is ended first: one started outside this display makes
# every window wait.
# Usage: scripts/ctest-wine.sh PRESET [CTEST_ARGS...]
set -uo pipefail
cd "$(dirname "$0")/.."
preset=${1:?usage: scripts/ctest-wine.sh PRESET [CTEST_ARGS...]}
shift
bits=32
[[ $preset == win64 ]] && bits=64
scripts/wine-run.sh --server stop "$bits"
# What the server says (a client it ended for a fault of the protocol, say) is kept: the
# program it ended shows nothing but its status.
export NORVEL_WINESERVER_LOG=$PWD/build/$preset/wineserver.log
mkdir -p "build/$preset" && : >"$NORVEL_WINESERVER_LOG"
scripts/wine-run.sh --server start "$bits"
scripts/wine-run.sh --bits "$bits" cmd.exe /c exit </dev/null >/dev/null 2>&1
ctest --preset "$preset" "$@"
status=$?
scripts/wine-run.sh --server stop "$bits"
if [[ -s $NORVEL_WINESERVER_LOG ]]; then
  echo "=== the Wine server's messages during the tests ($NORVEL_WINESERVER_LOG):"
  tail -n 40 "$NORVEL_WINESERVER_LOG"
fi
exit $status
