#!/usr/bin/env bash
# Builds Norvel and runs it on the bundled demo documents (demo/docs): indexes them with
# norvel-cli and shows a few searches. Safe to run again; everything it makes is under
# build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
. scripts/env.sh

cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target norvel-cli

demo=build/demo
rm -rf "$demo" && mkdir -p "$demo/app" "$demo/index"
cp demo/xcludelist.ini "$demo/app/" 2>/dev/null || true
cli=build/linux/bin/norvel-cli

echo "== Indexing demo/docs"
"$cli" index --app-dir "$demo/app" demo/docs "$demo/index"
for q in "printer" "vpn +password" "email -outlook"; do
  echo
  echo "== Search: $q"
  "$cli" search --app-dir "$demo/app" --data demo/docs "$demo/index" "$q" || true
done
