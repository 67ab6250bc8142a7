#!/usr/bin/env bash
# Builds the release into dist/: installer.exe (the setup program carrying norvel.exe)
# and norvel-1.0.zip (the programs for those who prefer no installer, with the users' guide
# docs/USERS-GUIDE.txt and its pictures). Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target dist
echo
ls -l dist/
