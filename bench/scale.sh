#!/usr/bin/env bash
# The index build at scale: generated corpora of many small documents, so that several
# file lists are written. For each size: build seconds and per document, peak memory,
# index size, a search that hits every document and one that hits a few, and the names at
# the edges of the file lists through search and through result pages (checked, not
# timed). Measures and prints; asserts no time.
#
# Usage: bench/scale.sh [--bin DIR] [--work DIR] [SIZE...]
#   default sizes 100000 500000 1200000; corpora are kept in WORK (default build/scale)
#   and reused; nothing here belongs in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/linux/bin
work=build/scale
sizes=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --bin) bin=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) sizes+=("$1"); shift ;;
  esac
done
[[ ${#sizes[@]} -gt 0 ]] || sizes=(100000 500000 1200000)
cli=$bin/norvel-cli
mkdir -p "$work"
failures=0

# Seconds of the best of three runs of a command, its output discarded.
best_of_3() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" > /dev/null
    t1=$(date +%s.%N)
    best=$(python3 -c "a='$best'; b=$t1-$t0; print(b if not a or b < float(a) else a)")
  done
  echo "$best"
}

check() {  # check WHAT EXPECTED ACTUAL
  if [[ "$2" != "$3" ]]; then
    echo "MISMATCH $1: expected [$2] got [$3]" >&2
    failures=$((failures + 1))
  fi
}

name_of() { printf 'd%07u.txt' "$1"; }

rows=()
for n in "${sizes[@]}"; do
  data=$work/corpus-$n
  if [[ ! -f $data/.complete ]]; then
    rm -rf "$data"
    echo "scale: writing $n documents to $data" >&2
    "$bin/scale_corpus" "$data" "$n"
    touch "$data/.complete"
  fi
  index=$work/index-$n app=$work/app-$n
  rm -rf "$index" "$app" && mkdir -p "$index" "$app"
  find "$data" -name '*.txt' -exec cat {} + > /dev/null  # into the page cache
  # The first build has no earlier index to size itself from; the second has.
  for run in first again; do
    /usr/bin/time -f "%e %M" -o "$work/time-$n" "$cli" index --app-dir "$app" "$data" "$index" \
      > /dev/null 2> "$work/err-$n" || { cat "$work/err-$n" >&2; exit 1; }
    read -r secs kb < "$work/time-$n"
    [[ $run == first ]] && first_secs=$secs
  done
  size=$(du -sb "$index" | cut -f1)
  all=$(best_of_3 "$cli" search --app-dir "$app" "$index" scaleall)
  few=$(best_of_3 "$cli" search --app-dir "$app" "$index" tag4242)
  check "documents hit by scaleall" "$n" "$("$cli" search --app-dir "$app" "$index" scaleall | wc -l)"
  # Names at every list edge that this size reaches, by search and by result page.
  for k in 1 499999 500000 500001 999999 1000000 1000001 "$n"; do
    (( k <= n )) || continue
    check "search edge$k" "$(name_of "$k")" \
      "$("$cli" search --app-dir "$app" "$index" "edge$k" | tr -d '\r')"
    page=$(( (k - 1) / 10 + 1 ))
    check "page $page names file $k" 1 \
      "$("$cli" search --app-dir "$app" --data "$data" --page "$page" "$index" scaleall |
         grep -c "$(name_of "$k")" || true)"
  done
  per_doc=$(python3 -c "print('%.2f' % ($secs / $n * 1e6))")
  rows+=("| $n | $first_secs | $secs | $per_doc | $((kb / 1024)) MB | $(python3 -c "print('%.1f' % ($size / 1e6))") MB | $(python3 -c "print('%.0f' % ($all * 1000))") | $(python3 -c "print('%.0f' % ($few * 1000))") |")
done

echo "| documents | build s (no earlier index) | build s | us per document | peak memory | index size | search all (ms) | search few (ms) |"
echo "|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
if (( failures > 0 )); then
  echo "scale: $failures name checks failed" >&2
  exit 1
fi
