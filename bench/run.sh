#!/usr/bin/env bash
# Compression benchmarks: builds the corpus (Debian packages only, reproducible)
# and prints vela's figures beside the usual tools. Figures, not pass/fail.
set -eu
vela=${1:-build/native-release/bin/vela}
here=$(cd "$(dirname "$0")" && pwd)
corpus=$here/corpus
if [ ! -f "$corpus/MANIFEST" ]; then
  bash "$here/make-corpus.sh" "$corpus" >/dev/null
fi
for script in "$here"/bench-*.sh; do
  [ -e "$script" ] || continue
  bash "$script" "$vela" "$corpus"
done

# Opening and listing a package of 10,000 entries, as the installer does at start-up.
archive_bench=$(dirname "$vela")/archive_bench
if [ -x "$archive_bench" ]; then
  echo
  echo "Package archive: open and list 10,000 entries"
  "$archive_bench" 10000
fi
