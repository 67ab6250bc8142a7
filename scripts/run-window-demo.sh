#!/usr/bin/env bash
# Opens the search window on the bundled demo documents: builds the Windows programs,
# indexes demo/docs into a fresh application directory under build/window-demo and starts
# norvel.exe there under Wine: the 32-bit program where this host runs 32-bit programs, else
# the 64-bit build under wine64 (scripts/host.sh decides, and the script says which).
# Without an X display it takes the same steps in a virtual display, searches for a demo
# query and saves a screenshot of the result page.
# Usage: scripts/run-window-demo.sh [QUERY]   (default: printer)
# NORVEL_DEMO_DATA names another data directory to show instead of demo/docs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
demo=$root/build/window-demo
. scripts/env.sh
preset=$(norvel_windows_preset)
bin=$root/build/$preset/bin
run=$root/scripts/wine-run.sh

virtual=no
if [[ "${1:-}" == --in-virtual-display ]]; then
  virtual=yes
  shift
else
  scripts/setup-deps.sh
  echo "The search window: the $preset build; $(norvel_host_says)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" --target norvel norvel-cli window_demo
  if [[ -z "${DISPLAY:-}" ]]; then
    # Every Wine program of the demo runs inside the virtual display: one started
    # without a display would leave Wine unable to open windows for a while.
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --in-virtual-display "$@"
  fi
fi
query=${1:-printer}
data=$(realpath "${NORVEL_DEMO_DATA:-$root/demo/docs}")

if [[ $virtual == yes ]]; then
  # Wine's server must belong to this display: one left from elsewhere slows every window.
  "$run" --server stop "${preset#win}"
fi
rm -rf "$demo" && mkdir -p "$demo/app" "$demo/index"
cp "$bin/norvel.exe" demo/xcludelist.ini "$demo/app/"
win() { "$run" --path "$1"; }
"$run" "$bin/norvel-cli.exe" index --app-dir "$(win "$demo/app")" \
  "$(win "$data")" "$(win "$demo/index")"
printf 'index_dir=%s\r\ndata_dir=%s\r\n' "$(win "$demo/index")" "$(win "$data")" \
  > "$demo/app/norvel.ini"

if [[ $virtual == no ]]; then
  echo "Opening the search window on the demo documents; try searching for: $query"
  cd "$demo/app"
  exec "$run" norvel.exe
fi

shot=$demo/search-window.png
echo "No display: searching for \"$query\" in a virtual display"
"$run" "$bin/window_demo.exe" "$(win "$demo/app")" "$query" "$(win "$shot")"
echo "Screenshot of the search window: $shot"
