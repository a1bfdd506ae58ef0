#!/usr/bin/env bash
# Block-sorting codec beside bzip2, on every file of the benchmark corpus:
# compressed size, compress and decompress throughput (MB/s, 10^6 bytes per
# second of input size) and peak memory, all from one run per program and file.
# Usage: bench-bs.sh VELA CORPUSDIR
set -eu
export LC_ALL=C
vela=$1
corpus=$2
command -v bzip2 >/dev/null || { echo "bench-bs: bzip2 is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bench-bs: GNU time (/usr/bin/time) is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
# run OUTFILE CMD...: runs CMD with stdout to OUTFILE; prints "seconds peak-KiB".
run() {
  local out=$1; shift
  local start end
  start=$(now)
  /usr/bin/time -f %M -o "$work/mem" "$@" > "$out"
  end=$(now)
  echo "$(echo "$end - $start" | bc -l) $(tail -n 1 "$work/mem")"
}
mbps() { echo "scale=1; $1 / 1000000 / $2" | bc -l; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }

echo "Block-sorting codec (vela --codec=bs) beside bzip2 -9 / bzip2 -d"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo
printf '%-22s %9s %9s %9s %6s | %7s %7s %5s | %7s %7s %5s | %7s %7s\n' \
  file bytes vela bzip2 size% "c vela" "c bz2" "c x" "d vela" "d bz2" "d x" "c KiB" "d KiB"
text_seconds=0; text_bytes=0; rep_seconds=0; rep_bytes=0
for file in $(cd "$corpus" && find . -type f ! -name MANIFEST | sed 's|^\./||' | sort); do
  path=$corpus/$file
  size=$(stat -c %s "$path")
  read -r vc vcm <<< "$(run "$work/v.bs" "$vela" compress --codec=bs "$path")"
  read -r vd vdm <<< "$(run "$work/v.out" "$vela" decompress --codec=bs "$work/v.bs")"
  cmp -s "$work/v.out" "$path" || { echo "bench-bs: $file did not round-trip" >&2; exit 1; }
  read -r bc_ bcm <<< "$(run "$work/b.bz2" bzip2 -9 -c "$path")"
  read -r bd bdm <<< "$(run "$work/b.out" bzip2 -d -c "$work/b.bz2")"
  vsize=$(stat -c %s "$work/v.bs")
  bsize=$(stat -c %s "$work/b.bz2")
  printf '%-22s %9d %9d %9d %6s | %7s %7s %5s | %7s %7s %5s | %7d %7d\n' \
    "$file" "$size" "$vsize" "$bsize" "$(echo "scale=1; 100 * $vsize / $bsize" | bc -l)" \
    "$(mbps "$size" "$vc")" "$(mbps "$size" "$bc_")" "$(ratio "$bc_" "$vc")" \
    "$(mbps "$size" "$vd")" "$(mbps "$size" "$bd")" "$(ratio "$bd" "$vd")" "$vcm" "$vdm"
  case $file in
    text/*) text_seconds=$(echo "$text_seconds + $vc" | bc -l); text_bytes=$((text_bytes + size)) ;;
    rep/*) rep_seconds=$(echo "$rep_seconds + $vc" | bc -l); rep_bytes=$((rep_bytes + size)) ;;
  esac
done
echo
echo "size% = vela size / bzip2 size; c x, d x = vela speed / bzip2 speed (above 1: vela faster)"
if [ "$text_bytes" -gt 0 ] && [ "$rep_bytes" -gt 0 ]; then
  text_per_mb=$(echo "scale=4; $text_seconds * 1000000 / $text_bytes" | bc -l)
  rep_per_mb=$(echo "scale=4; $rep_seconds * 1000000 / $rep_bytes" | bc -l)
  echo "compress seconds per MB: text $text_per_mb, rep $rep_per_mb (rep / text = $(ratio "$rep_per_mb" "$text_per_mb"))"
fi
