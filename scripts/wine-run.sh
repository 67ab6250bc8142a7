#!/bin/sh
# Runs a 32-bit Windows program under Wine, quietly; CTest's emulator for the win32 build.
. "$(dirname "$0")/env.sh"
exec wine "$@"
