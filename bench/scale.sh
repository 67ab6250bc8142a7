#!/usr/bin/env bash
# The index build at scale, on generated corpora: many small documents (several file lists
# are written) and many distinct words (far more than the build table's 1,000,000
# buckets). For each: build seconds, peak memory, index size, and the index load (a
# search of a word that is nowhere: the load is nearly all of it) in seconds and memory;
# natively, beside the build, its floor: listing, opening, reading and closing every
# document on the build's threads (norvel_bench floor).
# Checked, not timed: a rare word is found; for the documents, a search hits every one and
# the names at the edges of the file lists come out right; for the words, words before,
# at and after the millionth are found in their documents. Natively and, when a Windows
# build is at hand, as that build under Wine, where the search window's start-up on the
# largest index of each kind is measured too.
# Measures and prints; asserts no time.
#
# Usage: bench/scale.sh [--bin DIR] [--win-bin DIR|--no-wine] [--no-native] [--work DIR]
#                       [--words "N..."] [--docs "N..."|SIZE...]
#   default sizes 100000 500000 1200000 3000000 documents, and 500,000 to 2,500,000
#   words in steps of 500,000 (--words "" or --docs "": none). --win-bin defaults to build/win64/bin
#   when it holds norvel-cli.exe (this kind of host cannot run 32-bit programs; on one
#   that can, give build/win32/bin). Corpora are kept in WORK (default build/scale) and
#   reused; nothing here belongs in the repository. The Windows runs hold the lock
#   /tmp/norvel-heavy.lock (the Wine prefix is shared) from their first to their last.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/linux/bin
win_bin=build/win64/bin
work=build/scale
words=(500000 1000000 1500000 2000000 2500000)
native=1
docs_given=0
sizes=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --bin) bin=$2; shift 2 ;;
    --win-bin) win_bin=$2; shift 2 ;;
    --no-wine) win_bin=""; shift ;;
    --no-native) native=0; shift ;;
    --work) work=$2; shift 2 ;;
    --words) read -r -a words <<< "$2"; shift 2 ;;
    --docs) read -r -a sizes <<< "$2"; docs_given=1; shift 2 ;;
    -h|--help) sed -n '2,/^set /p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "scale: unknown option $1 (see --help)" >&2; exit 2 ;;
    *) sizes+=("$1"); docs_given=1; shift ;;
  esac
done
[[ ${#sizes[@]} -gt 0 || $docs_given == 1 ]] || sizes=(100000 500000 1200000 3000000)
[[ -n $win_bin && -f $win_bin/norvel-cli.exe ]] || win_bin=""
mkdir -p "$work"
work=$(cd "$work" && pwd)
failures=0
rows=()

check() {  # check WHAT EXPECTED ACTUAL
  if [[ "$2" != "$3" ]]; then
    echo "MISMATCH $1: expected [$2] got [$3]" >&2
    failures=$((failures + 1))
  fi
}

mb() { python3 -c "print('%.1f' % ($1 / 1e6))"; }

# The command line of norvel-cli for a platform: native, or the Windows build under Wine
# (paths as a Windows program names them, through scripts/wine-run.sh --path).
cli_argv() {  # cli_argv PLATFORM: sets argv
  if [[ $1 == native ]]; then
    argv=("$bin/norvel-cli")
  else
    argv=(scripts/wine-run.sh "$win_bin/norvel-cli.exe")
  fi
}
cli() {  # cli PLATFORM ARGS...
  local argv
  cli_argv "$1"
  shift
  "${argv[@]}" "$@"
}
winpath() { scripts/wine-run.sh --path "$1"; }

# Runs a command under /usr/bin/time: sets secs and kb (peak resident memory).
timed() {  # timed TAG COMMAND...
  local tag=$1
  shift
  local status=0
  /usr/bin/time -f "%e %M" -o "$work/time-$tag" "$@" > "$work/out-$tag" 2> "$work/err-$tag" ||
    status=$?
  # A failed command's line comes after time's note of its exit status.
  read -r secs kb < <(tail -n 1 "$work/time-$tag")
  return $status
}

# One build and load: PLATFORM NAME DATA ITEMS RARE-WORD; appends a row.
measure() {
  local platform=$1 name=$2 data=$3 items=$4 rare=$5
  local index=$work/index-$name-$platform app=$work/app-$name-$platform
  rm -rf "$index" "$app" && mkdir -p "$index" "$app"
  local d=$data i=$index a=$app
  if [[ $platform != native ]]; then d=$(winpath "$data") i=$(winpath "$index") a=$(winpath "$app"); fi
  find "$data" -name '*.txt' -exec cat {} + > /dev/null  # into the page cache
  echo "scale: $platform build of $name" >&2
  local argv
  cli_argv "$platform"
  timed "$name-$platform" "${argv[@]}" index --app-dir "$a" "$d" "$i" || {
    cat "$work/err-$name-$platform" >&2
    exit 1
  }
  local build_secs=$secs build_kb=$kb size
  # The floor (native): listing, opening, reading and closing every document on the
  # build's threads, nothing else; the best of two.
  local floor="" ratio=""
  if [[ $platform == native && -x $bin/norvel_bench ]]; then
    for _ in 1 2; do
      local f
      f=$("$bin/norvel_bench" floor "$data" | cut -d' ' -f3)
      if [[ -z $floor ]] || python3 -c "import sys; sys.exit(not $f < $floor)"; then floor=$f; fi
    done
    ratio=$(python3 -c "print('%.2fx' % ($build_secs / $floor))")
  fi
  size=$(du -sb "$index" | cut -f1)
  # The load: the best of three searches of a word no document holds.
  local load_secs="" load_kb=0
  for _ in 1 2 3; do
    timed "load-$name-$platform" "${argv[@]}" search --app-dir "$a" "$i" zzznowhere || true
    if [[ -z $load_secs ]] || python3 -c "import sys; sys.exit(not $secs < $load_secs)"; then
      load_secs=$secs
    fi
    (( kb > load_kb )) && load_kb=$kb
  done
  check "$platform $name: the rare word" 1 \
    "$(cli "$platform" search --app-dir "$a" "$i" "$rare" | tr -d '\r' | grep -c . || true)"
  rows+=("| $name | $platform | $items | $build_secs | $floor | $ratio | $((build_kb / 1024)) MB | $(mb "$size") MB | $load_secs | $((load_kb / 1024)) MB |")
}

# The name checks of a documents corpus of n documents (native only: they print every
# name of the corpus).
name_of() { printf 'd%07u.txt' "$1"; }
check_documents() {  # check_documents N
  local n=$1 index=$work/index-docs-$1-native app=$work/app-docs-$1-native
  check "documents hit by scaleall" "$n" \
    "$("$bin/norvel-cli" search --app-dir "$app" "$index" scaleall | wc -l)"
  for k in 1 499999 500000 500001 999999 1000000 1000001 2000000 2500000 "$n"; do
    (( k <= n )) || continue
    check "search edge$k" "$(name_of "$k")" \
      "$("$bin/norvel-cli" search --app-dir "$app" "$index" "edge$k" | tr -d '\r')"
    local page=$(( (k - 1) / 10 + 1 ))
    check "page $page names file $k" 1 \
      "$("$bin/norvel-cli" search --app-dir "$app" --data "$work/corpus-$n" --page "$page" \
           "$index" scaleall | grep -c "$(name_of "$k")" || true)"
  done
}

# The words corpus: words before, at and after the millionth are found where they are.
check_words() {  # check_words PLATFORM WORDS
  local platform=$1 w=$2 index=$work/index-words-$2-$1 app=$work/app-words-$2-$1
  if [[ $platform != native ]]; then index=$(winpath "$index") app=$(winpath "$app"); fi
  for i in 0 999999 1000000 1000001 $((w / 2)) $((w - 1)); do
    (( i < w )) || continue
    check "$platform word $i" "$(name_of $((i / 1000 + 1)))" \
      "$(cli "$platform" search --app-dir "$app" "$index" "$(printf 'HD%013u' "$i")" | tr -d '\r')"
  done
}

corpus() {  # corpus DIR GENERATOR-ARGS...
  local dir=$1
  shift
  if [[ ! -f $dir/.complete ]]; then
    rm -rf "$dir"
    echo "scale: writing $dir" >&2
    "$bin/scale_corpus" "$@"
    touch "$dir/.complete"
  fi
}

platforms=()
(( native )) && platforms+=(native)
[[ -n $win_bin ]] && platforms+=(windows)
for platform in "${platforms[@]}"; do
  if [[ $platform == windows ]]; then
    # The Wine prefix is shared: the Windows runs wait for its other users, then keep it.
    exec 9> /tmp/norvel-heavy.lock
    flock 9
  fi
  for w in "${words[@]}"; do
    corpus "$work/words-$w" --words "$work/words-$w" "$w"
    measure "$platform" "words-$w" "$work/words-$w" "$w words" "$(printf 'HD%013u' $((w - 1)))"
    check_words "$platform" "$w"
  done
  for n in "${sizes[@]}"; do
    corpus "$work/corpus-$n" "$work/corpus-$n" "$n"
    measure "$platform" "docs-$n" "$work/corpus-$n" "$n documents" "edge$n"
    [[ $platform == native ]] && check_documents "$n"
  done
done

echo "| corpus | platform | size | build s | floor s | build/floor | build peak memory | index size | load s | load memory |"
echo "|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"

# The search window's start-up under Wine on the largest index of each kind: the most
# words and the most documents.
startup() {  # startup NAME WORD
  local index=$work/index-$1-windows
  [[ -f $index/_stats.dat ]] || return 0
  echo
  echo "Search window start-up on index-$1 ($(mb "$(du -sb "$index" | cut -f1)") MB):"
  # Wine's server is started inside the virtual display, as for the tests: one started
  # outside it makes every window wait.
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    scripts/wine-run.sh --server stop "$1" > /dev/null 2>&1
    scripts/wine-run.sh --server start "$1" > /dev/null 2>&1
    scripts/wine-run.sh "${@:2}"
    status=$?
    scripts/wine-run.sh --server stop "$1" > /dev/null 2>&1
    exit $status' _ "$bits" "$win_bin/startup_bench.exe" \
    "$(winpath "$work/window-app")" "$(winpath "$index")" "$2" 3 || failures=$((failures + 1))
}
bits=64
[[ $win_bin == *win32* ]] && bits=32
if [[ -n $win_bin && -f $win_bin/startup_bench.exe ]]; then
  if (( ${#words[@]} > 0 )); then
    w=${words[${#words[@]} - 1]}
    startup "words-$w" "$(printf 'HD%013u' $((w - 1)))"
  fi
  if (( ${#sizes[@]} > 0 )); then
    n=${sizes[${#sizes[@]} - 1]}
    startup "docs-$n" "edge$n"
  fi
fi
if (( failures > 0 )); then
  echo "scale: $failures checks failed" >&2
  exit 1
fi
