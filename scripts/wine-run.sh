#!/usr/bin/env bash
# The one way the project starts Windows programs under Wine: it picks the loader that the
# program needs (a 32-bit program: wine; a 64-bit one: wine64) and the Wine prefix of that
# kind (~/.wine-norvel, ~/.wine-norvel64), made on first use. CTest's emulator for both
# Windows builds, and what every script and test runner calls.
# Usage: wine-run.sh PROGRAM.exe [ARGS...]
#        wine-run.sh --bits 32|64 PROGRAM [ARGS...]   a Wine built-in such as cmd.exe
#        wine-run.sh --path PATH                      PATH as a Windows program names it
#        wine-run.sh --prefix 32|64                   make the prefix and prove a program starts
#        wine-run.sh --server start|stop 32|64        start or end the prefix's Wine server
#          (the server's own messages go to $NORVEL_WINESERVER_LOG when it is set)
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"

usage() {
  local status=${1:-2}
  if ((status)); then exec >&2; fi
  sed -n '2,/^set /p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'
  exit "$status"
}

# 32 or 64 from the machine field of a PE file's header; nothing for anything else.
pe_bits() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [[ -n "$offset" ]] || return 1
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case $machine in
    014c) echo 32 ;;
    8664) echo 64 ;;
    *) return 1 ;;
  esac
}

# Sets the loader and the prefix for programs of BITS.
use_kind() {
  local home=${HOME:-/root}
  case $1 in
    32)
      loader=/usr/lib/wine/wine
      export WINEPREFIX=$home/.wine-norvel
      unset WINELOADER
      ;;
    64)
      loader=/usr/lib/wine/wine64
      export WINEPREFIX=$home/.wine-norvel64
      export WINELOADER=$loader
      ;;
    *) echo "wine-run: no such kind of program: $1 (32 or 64)" >&2; exit 2 ;;
  esac
  if [[ ! -x $loader ]]; then
    echo "wine-run: $loader is missing; scripts/setup-deps.sh installs Wine for this host" >&2
    exit 127
  fi
}

# The prefix is made once, by the loader of its kind; a failure says what Wine said.
ensure_prefix() {
  [[ -f "$WINEPREFIX/system.reg" ]] && return 0
  echo "wine-run: creating the Wine prefix $WINEPREFIX" >&2
  local log
  log=$(mktemp)
  if ! "$loader" wineboot.exe -i >"$log" 2>&1 </dev/null || ! wineserver -w; then
    echo "wine-run: Wine could not create $WINEPREFIX:" >&2
    tail -n 5 "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

case "${1:-}" in
  -h | --help) usage 0 ;;
  "") usage ;;
  --path)
    [[ $# -eq 2 ]] || usage
    # Wine's drive Z: is the root of the Unix file system in every prefix it makes.
    path=$(realpath -m -- "$2")
    printf 'Z:%s\n' "${path//\//\\}"
    exit 0
    ;;
  --prefix)
    [[ $# -eq 2 ]] || usage
    use_kind "$2"
    ensure_prefix
    out=$("$loader" cmd.exe /c echo norvel-wine-ok </dev/null 2>&1)
    if [[ "$out" != *norvel-wine-ok* ]]; then
      echo "wine-run: $loader cannot start a Windows program in $WINEPREFIX:" >&2
      echo "$out" | tail -n 5 >&2
      exit 1
    fi
    exit 0
    ;;
  --server)
    [[ $# -eq 3 ]] || usage
    use_kind "$3"
    case $2 in
      start) ensure_prefix && wineserver -p </dev/null >/dev/null 2>>"${NORVEL_WINESERVER_LOG:-/dev/null}" ;;
      stop)
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wineserver -w </dev/null >/dev/null 2>&1 || true
        ;;
      *) usage ;;
    esac
    exit 0
    ;;
  --bits)
    [[ $# -ge 3 ]] || usage
    use_kind "$2"
    shift 2
    ;;
  *)
    if ! bits=$(pe_bits "$1"); then
      echo "wine-run: $1 is not a 32-bit or 64-bit Windows program" >&2
      exit 2
    fi
    use_kind "$bits"
    ;;
esac
ensure_prefix
exec "$loader" "$@"
