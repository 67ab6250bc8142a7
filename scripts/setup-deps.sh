#!/usr/bin/env bash
# Installs what building and testing Norvel needs on Debian 12, as root; safe to rerun.
# Both MinGW cross compilers and wine64 everywhere; 32-bit Wine only where this host runs
# 32-bit programs (scripts/host.sh asks). Then the Wine prefix of this host's Windows build,
# proven by starting a program in it.
# Usage: scripts/setup-deps.sh [--bench]   (--bench adds the benchmark's corpus and peers)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/host.sh
# Asked afresh each time: a host once left without 32-bit Wine tries again.
rm -f "$norvel_no_wine32_mark"
unset NORVEL_HOST_32BIT

want=(cmake ninja-build g++ clang clang-format googletest libgtest-dev g++-mingw-w64-i686
      g++-mingw-w64-x86-64 wine wine64 xvfb xauth xdotool imagemagick python3 zip strace)
if norvel_host_runs_32bit; then
  want+=(wine32:i386)
fi
if [[ "${1:-}" == "--bench" ]]; then
  want+=(sqlite3 libsqlite3-dev ripgrep linux-doc libbenchmark-dev)
fi

missing=()
for pkg in "${want[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup-deps: missing packages (${missing[*]}); run as root to install them" >&2
    exit 1
  fi
  echo "setup-deps: installing ${missing[*]}"
  if [[ " ${missing[*]} " == *:i386* ]]; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in mid-sync fails the update now and then: try again, then go on with the
  # lists that did arrive (the install says what it cannot find).
  for attempt in 1 2 3; do
    apt-get update -q && break
    echo "setup-deps: the package lists' update failed (attempt $attempt of 3)" >&2
    if ((attempt < 3)); then sleep $((attempt * 10)); fi
  done
  if ! apt-get install -y -q "${missing[@]}"; then
    # 32-bit Wine comes from the archive's i386 lists, which a mirror's sync can leave out
    # of step with the rest: without it the 64-bit Windows build is tested instead.
    rest=()
    for pkg in "${missing[@]}"; do [[ $pkg == *:i386 ]] || rest+=("$pkg"); done
    if ((${#rest[@]} == ${#missing[@]})); then exit 1; fi
    if ((${#rest[@]})); then apt-get install -y -q "${rest[@]}"; fi
    dpkg -s wine32:i386 >/dev/null 2>&1 || {
      mkdir -p "$(dirname "$norvel_no_wine32_mark")"
      touch "$norvel_no_wine32_mark"
      unset NORVEL_HOST_32BIT
      echo "setup-deps: 32-bit Wine could not be installed; $(norvel_host_says)" >&2
    }
  fi
fi

# The Wine prefix of this host's Windows build, made once; stops here if Wine cannot
# start a program in it.
if norvel_host_runs_32bit; then bits=32; else bits=64; fi
if ! scripts/wine-run.sh --prefix "$bits"; then
  echo "setup-deps: Wine cannot start a $bits-bit Windows program on this host ($(norvel_host_says))" >&2
  exit 1
fi
