#!/usr/bin/env bash
# The first result page by relevance against the first page in file order, for a one-word
# query that every document of a generated corpus holds ("scaleall", bench/scale_corpus.cpp):
# the search command's whole first page (query, scores, partial sort, ten names and
# excerpts), the median of REPEAT runs of each, alternated, in one process.
#   bench/rank_speed.sh [WORK_DIR] [DOCUMENTS] [REPEAT]   (defaults /tmp/norvel-rank-speed,
#                                                          1200000, 7)
# Build the linux preset first. The corpus and its index are kept in WORK_DIR for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/linux/bin
work=${1:-/tmp/norvel-rank-speed}
count=${2:-1200000}
repeat=${3:-7}
mkdir -p "$work/app"
if [[ ! -f $work/corpus-$count.complete ]]; then
  rm -rf "$work/corpus" "$work/index"
  echo "rank_speed: writing $count documents to $work/corpus" >&2
  "$bin/scale_corpus" "$work/corpus" "$count"
  touch "$work/corpus-$count.complete"
fi
if [[ ! -f $work/index/_positions.dat ]]; then
  echo "rank_speed: indexing $work/corpus" >&2
  "$bin/norvel-cli" index --app-dir "$work/app" "$work/corpus" "$work/index" > /dev/null
fi
read -r results index_ms relevance_ms < <("$bin/rank_bench" first-page "$work/index" "$work/app" \
                                          "$work/corpus" "$repeat" scaleall)
echo "| query | documents found | first page, file order | first page, by relevance | ratio |"
echo "|---|---|---|---|---|"
awk -v r="$results" -v i="$index_ms" -v b="$relevance_ms" \
  'BEGIN { printf "| scaleall | %d | %.1f ms | %.1f ms | %.2f |\n", r, i, b, b / i }'
