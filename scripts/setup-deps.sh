#!/usr/bin/env bash
# Installs what building and testing Norvel needs on Debian 12, as root; safe to rerun.
# Usage: scripts/setup-deps.sh [--bench]   (--bench adds the benchmark's corpus and peers)
set -euo pipefail

want=(cmake ninja-build g++ clang googletest libgtest-dev g++-mingw-w64-i686
      wine wine32:i386 xvfb xauth xdotool imagemagick python3 zip)
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
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi

# A Wine prefix of our own, made once, so every run starts from the same state.
export WINEPREFIX="${WINEPREFIX:-${HOME:-/root}/.wine-norvel}"
export WINEDEBUG=-all
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "setup-deps: creating the Wine prefix $WINEPREFIX"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
