#!/usr/bin/env bash
# LZ codec benchmark: for every corpus file, compressed size and compress /
# decompress throughput of `vela compress --codec=lz` and `vela decompress
# --codec=lz` beside `gzip -9` / `gzip -d` and `lz4 -1` / `lz4 -d`, with ratios.
# Figures, not pass/fail. Usage: bench-lz.sh VELA CORPUSDIR
#
# Every command reads a file and writes to standard output, sent to /dev/null
# when timed (the streams are written once to a temporary folder for their
# sizes and the round-trip check); each is run several times so that each
# figure covers about 24 MB of input. Throughput is MB (10^6 bytes) of uncompressed data per second of CPU
# time (user + system, from GNU time), which other work on the machine
# disturbs far less than wall time; without /usr/bin/time, wall time is used.
set -eu
export LC_ALL=C
vela=${1:?usage: bench-lz.sh VELA CORPUSDIR}
corpus=${2:?usage: bench-lz.sh VELA CORPUSDIR}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

have_lz4=1
command -v lz4 >/dev/null || have_lz4=0

# seconds per run of "$@", run $reps times
timed() {
  if [ -x /usr/bin/time ]; then
    local cpu
    cpu=$( { /usr/bin/time -f '%U %S' bash -c 'n=$1; shift; for ((r = 0; r < n; r++)); do "$@" >/dev/null; done' - "$reps" "$@"; } 2>&1 >/dev/null | tail -n 1)
    # (half of the 10 ms tick added, so that a figure is never a division by 0)
    echo "(${cpu% *} + ${cpu#* } + 0.005) / $reps" | bc -l
  else
    local start end
    start=$(date +%s.%N)
    for ((r = 0; r < reps; r++)); do "$@" >/dev/null; done
    end=$(date +%s.%N)
    echo "($end - $start) / $reps" | bc -l
  fi
}
mbps() { echo "$1 / $2 / 1000000" | bc -l | xargs printf '%.1f'; }
ratio() { echo "$1 / $2" | bc -l | xargs printf '%.2f'; }

echo "LZ codec: vela --codec=lz beside gzip -9 and lz4 -1, MB/s of CPU time ($(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'))"
printf '%-22s %9s | %9s %6s %6s %6s | %7s %7s %7s %5s %5s | %7s %7s %7s %5s %5s\n' \
  file bytes vela-size vela gzip lz4 "c:vela" "c:gzip" "c:lz4" "v/gz" "v/lz4" "d:vela" "d:gzip" "d:lz4" "v/gz" "v/lz4"
printf '%-22s %9s | %9s %6s %6s %6s | %7s %7s %7s %5s %5s | %7s %7s %7s %5s %5s\n' \
  "" "" "" "ratio" "ratio" "ratio" "MB/s" "MB/s" "MB/s" "" "" "MB/s" "MB/s" "MB/s" "" ""
total_in=0; total_vela=0; total_gzip=0; total_lz4=0
failed=0
while read -r file; do
  name=${file#"$corpus"/}
  size=$(stat -c %s "$file")
  reps=$(( (24000000 + size - 1) / size )); [ "$reps" -gt 100 ] && reps=100

  "$vela" compress --codec=lz "$file" "$tmp/v.lz"
  "$vela" decompress --codec=lz --size="$size" "$tmp/v.lz" "$tmp/v.out"
  if ! cmp -s "$file" "$tmp/v.out"; then echo "$name: vela round trip differs" >&2; failed=1; fi
  gzip -9 -c "$file" > "$tmp/g.gz"
  vc=$(timed "$vela" compress --codec=lz "$file")
  vd=$(timed "$vela" decompress --codec=lz --size="$size" "$tmp/v.lz")
  gc=$(timed gzip -9 -c "$file")
  gd=$(timed gzip -d -c "$tmp/g.gz")
  vsize=$(stat -c %s "$tmp/v.lz"); gsize=$(stat -c %s "$tmp/g.gz")
  if [ $have_lz4 = 1 ]; then
    lz4 -q -1 -c "$file" > "$tmp/l.lz4"
    lc=$(timed lz4 -q -1 -c "$file")
    ld=$(timed lz4 -q -d -c "$tmp/l.lz4")
    lsize=$(stat -c %s "$tmp/l.lz4")
  else
    lc=0; ld=0; lsize=0
  fi
  total_in=$((total_in + size)); total_vela=$((total_vela + vsize))
  total_gzip=$((total_gzip + gsize)); total_lz4=$((total_lz4 + lsize))
  printf '%-22s %9d | %9d %6s %6s %6s | %7s %7s %7s %5s %5s | %7s %7s %7s %5s %5s\n' \
    "$name" "$size" "$vsize" "$(ratio "$vsize" "$size")" "$(ratio "$gsize" "$size")" \
    "$( [ $have_lz4 = 1 ] && ratio "$lsize" "$size" || echo -)" \
    "$(mbps "$size" "$vc")" "$(mbps "$size" "$gc")" "$( [ $have_lz4 = 1 ] && mbps "$size" "$lc" || echo -)" \
    "$(ratio "$gc" "$vc")" "$( [ $have_lz4 = 1 ] && ratio "$lc" "$vc" || echo -)" \
    "$(mbps "$size" "$vd")" "$(mbps "$size" "$gd")" "$( [ $have_lz4 = 1 ] && mbps "$size" "$ld" || echo -)" \
    "$(ratio "$gd" "$vd")" "$( [ $have_lz4 = 1 ] && ratio "$ld" "$vd" || echo -)"
done < <(find "$corpus" -type f ! -name MANIFEST | sort)
printf '%-22s %9d | %9d %6s %6s %6s\n' total "$total_in" "$total_vela" "$(ratio "$total_vela" "$total_in")" \
  "$(ratio "$total_gzip" "$total_in")" "$( [ $have_lz4 = 1 ] && ratio "$total_lz4" "$total_in" || echo -)"
echo "ratio columns: compressed size / input size; v/gz and v/lz4: vela's speed as a multiple of the other tool's (above 1: vela faster)"
exit $failed
