#!/usr/bin/env bash
# Builds Norvel and runs it on the bundled demo data: exports the entries of the bundled
# demo AR server (through our stand-in client library) next to the demo knowledge-base
# articles, indexes them, shows a few searches from the command line, and opens the search
# window on them under Wine (in a virtual display with a screenshot when there is no
# display). Safe to run again; everything it makes is under build/demo and build/window-demo.
# Usage: scripts/run-demo.sh [QUERY]   (the window's search, default: printer)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target norvel-cli arapi51

demo=build/demo
cli=build/linux/bin/norvel-cli
rm -rf "$demo" && mkdir -p "$demo/app" "$demo/index" "$demo/data"
cp demo/xcludelist.ini "$demo/app/"
cp demo/docs/*.txt "$demo/data/"

echo "== Schemas of the demo server"
echo demo | "$cli" schemas --server demo --user demo --password-file - --app-dir "$demo/app"
echo
echo "== Exporting its entries into $demo/data"
echo demo | "$cli" export --server demo --user demo --password-file - --app-dir "$demo/app" \
  --query "'1' LIKE \"%\"" --max-records 1000 --data-dir "$demo/data" \
  "HPD:Case" "CHG:Change Request" "KB:Known Issue"
echo
echo "== Indexing $demo/data"
"$cli" index --app-dir "$demo/app" "$demo/data" "$demo/index"
for q in "printer" "vpn +password" "password -vpn"; do
  echo
  echo "== Search: $q (first page)"
  "$cli" search --app-dir "$demo/app" --data "$demo/data" "$demo/index" "$q" | head -n 12 || true
done
echo
echo "== The search window"
NORVEL_DEMO_DATA="$demo/data" exec scripts/run-window-demo.sh "$@"
