#!/usr/bin/env bash
# Runs CTest for the win32 build inside the current (virtual) display. Wine's server and
# its helper processes are started first, detached from our output, so that a test's first
# Wine process never leaves them holding CTest's pipes open.
# Usage: scripts/ctest-wine.sh CTEST_ARGS...
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
wineserver -p </dev/null >/dev/null 2>&1
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
ctest "$@"
status=$?
wineserver -k </dev/null >/dev/null 2>&1
exit $status
