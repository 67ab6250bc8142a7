#!/usr/bin/env bash
# Flattens Debian's linux-doc documentation into one directory of .txt files: the
# benchmark's real corpus. Usage: bench/make-corpus.sh [DEST]  (default bench/corpus/linux-doc)
set -euo pipefail
cd "$(dirname "$0")/.."
dest=${1:-bench/corpus/linux-doc}
src=$(ls -d /usr/share/doc/linux-doc-* 2>/dev/null | head -n 1)
if [[ -z "$src" ]]; then
  echo "make-corpus: linux-doc is not installed (scripts/setup-deps.sh --bench)" >&2
  exit 1
fi
if [[ -f "$dest/.complete" ]]; then
  echo "$dest"
  exit 0
fi
rm -rf "$dest" && mkdir -p "$dest"
out=$(cd "$dest" && pwd)  # DEST relative to the project or absolute, written from $src
# Every text document of the package (the rendered HTML pages aside: they repeat the
# sources), compressed or not, named after its path so that
# names stay unique once flattened.
cd "$src"
find . -type f \( -name '*.gz' -o -name '*.txt' -o -name '*.rst' \) \
     ! -name '*.svg.gz' ! -name '*.ttf.gz' ! -name '*.png*' -print0 |
while IFS= read -r -d '' f; do
  name=${f#./}
  name=${name%.gz}
  name=${name//\//_}
  name=${name%.txt}.txt
  if [[ $f == *.gz ]]; then
    gzip -dc "$f" > "$out/$name"
  else
    cp "$f" "$out/$name"
  fi
done
touch "$out/.complete"
echo "$dest"
