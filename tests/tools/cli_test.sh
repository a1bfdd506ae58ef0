#!/usr/bin/env bash
# End-to-end checks of the packaging tool as a publisher uses it: build, list,
# verify, extract round trips, hostile entry names, damaged packages, and a
# fault-injection sweep proving that a build never damages the package it
# replaces. Usage: cli_test.sh VELA
set -u
VELA=$1
# LeakSanitizer cannot run under strace; leaks are checked by the other tests.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_status() {  # expected-status description command...
  local want=$1 what=$2; shift 2
  "$@" >"$work/out.txt" 2>"$work/err.txt"
  local got=$?
  [ "$got" -eq "$want" ] || fail "$what: exit $got, expected $want; stderr: $(head -c 300 "$work/err.txt")"
}

# --- build, list, verify, extract round trip --------------------------------
"$VELA" init proj >/dev/null || fail "init"
head -c 200000 /dev/urandom > proj/program.exe          # incompressible: stored by --codec=auto
seq 1 50000 > proj/readme.txt                           # text: compressed
expect_status 0 "build" "$VELA" build proj -o pkg --no-stub --quiet
grep -q "program.exe .* store" out.txt || fail "random data should be stored raw: $(cat out.txt)"
expect_status 0 "verify" "$VELA" verify pkg
expect_status 0 "list --json" "$VELA" list pkg --json
for field in '"version": 5' '"base": 0' '"dataEnd"' '"nameHex": "56656c612e696e69"' '"storedLength"' '"checksum"' '"timeStamp"' '"flags"'; do
  grep -q "$field" out.txt || fail "list --json lacks $field"
done
mkdir out
expect_status 0 "extract" "$VELA" extract pkg -C out
for f in Vela.ini logo.bmp English.clg program.exe readme.txt uninstall.exe; do
  cmp -s "proj/$f" "out/$f" || fail "extracted $f differs from its source"
done
"$VELA" cat pkg readme.txt > cat.txt && cmp -s cat.txt proj/readme.txt || fail "cat readme.txt"
expect_status 1 "cat of a missing entry" "$VELA" cat pkg missing.txt
expect_status 1 "init into a non-empty folder" "$VELA" init proj

# every codec gives the same content back
for codec in bs lz store; do
  expect_status 0 "build --codec=$codec" "$VELA" build proj -o "pkg-$codec" --no-stub --codec=$codec --quiet
  expect_status 0 "verify --codec=$codec" "$VELA" verify "pkg-$codec"
  "$VELA" cat "pkg-$codec" readme.txt | cmp -s - proj/readme.txt || fail "codec $codec round trip"
done

# --- usage errors and refused projects --------------------------------------
expect_status 2 "unknown command" "$VELA" frobnicate
expect_status 2 "unknown option" "$VELA" list pkg --bogus
expect_status 2 "build without -o" "$VELA" build proj
expect_status 1 "build without a stub" "$VELA" build proj -o x.exe
grep -q -- "--no-stub" err.txt || fail "the missing-stub message should name --no-stub"
cp -r proj bad && sed -i 's/^Main executable=0/Main executable=9/' bad/Vela.ini
expect_status 1 "build of a project with errors" "$VELA" build bad -o bad.pkg --no-stub
[ ! -e bad.pkg ] || fail "a refused build left bad.pkg behind"
expect_status 1 "verify of something that is not a package" "$VELA" verify proj/readme.txt

# --- add, rm, compact --------------------------------------------------------
cp pkg pkg2
printf 'extra' > extra.txt
expect_status 0 "add" "$VELA" add pkg2 extra.txt --name notes.txt --mark
"$VELA" cat pkg2 notes.txt | grep -q '^extra$' || fail "added entry content"
expect_status 0 "add again (replace)" "$VELA" add pkg2 proj/readme.txt --name notes.txt
size_before=$(stat -c %s pkg2)
expect_status 0 "compact" "$VELA" compact pkg2
[ "$(stat -c %s pkg2)" -lt "$size_before" ] || fail "compact did not drop the replaced body"
expect_status 0 "rm" "$VELA" rm pkg2 notes.txt
expect_status 1 "cat of a removed entry" "$VELA" cat pkg2 notes.txt
expect_status 1 "rm of a missing entry" "$VELA" rm pkg2 notes.txt
expect_status 0 "verify after add/rm/compact" "$VELA" verify pkg2
expect_status 1 "add to something that is not a package" "$VELA" add proj/readme.txt extra.txt
cmp -s proj/readme.txt out/readme.txt || fail "a refused add changed its target"

# --- hostile entry names: never written outside the folder -------------------
cp pkg hostile
for name in '../escaped.txt' 'sub/inner.txt' 'sub\inner.txt' 'C:drive.txt' 'CON' 'nul.txt' '..' 'plain.txt'; do
  "$VELA" add hostile extra.txt --name "$name" >/dev/null 2>&1 || fail "add --name '$name'"
done
mkdir -p jail/inside
expect_status 1 "extract with hostile names" "$VELA" extract hostile -C jail/inside
[ -f jail/inside/plain.txt ] || fail "the plain name was not extracted"
[ ! -e jail/escaped.txt ] && [ ! -e escaped.txt ] || fail "an entry escaped the folder"
[ -z "$(find jail -mindepth 2 -not -path 'jail/inside' -not -name '*.txt' -not -name '*.ini' -not -name '*.bmp' -not -name '*.clg' -not -name '*.exe' | head -n 1)" ] || fail "unexpected files: $(find jail)"
[ ! -e jail/inside/sub ] || fail "a subfolder was created for sub/inner.txt"
grep -q "not a plain file name" err.txt || fail "no message for hostile names"

# --- damaged packages ---------------------------------------------------------
cp pkg damaged
offset=$("$VELA" list damaged --json | awk '/"name": "readme.txt"/{f=1} f && /"offset"/{gsub(/[^0-9]/,""); print; exit}')
printf '\x55\xaa' | dd of=damaged bs=1 seek=$((offset + 100)) conv=notrunc status=none
expect_status 1 "verify of a damaged package" "$VELA" verify damaged
grep -q -E '^(damaged stream|checksum failure) +readme.txt' out.txt || fail "damaged entry not named: $(cat out.txt)"
grep -q -E '^ok +Vela.ini' out.txt || fail "the undamaged entries should still be checked"
expect_status 1 "extract of a damaged entry" "$VELA" extract damaged readme.txt -C jail
[ ! -e jail/readme.txt ] || fail "a damaged entry was extracted"
head -c 100 pkg > truncated
expect_status 1 "verify of a truncated package" "$VELA" verify truncated

# --- fault injection: a build never damages the package it replaces ---------
if command -v strace >/dev/null 2>&1; then
  "$VELA" build proj -o target --no-stub --quiet >/dev/null
  cp target target.orig
  echo "more" >> proj/readme.txt
  writes=$(strace -f -qq -e trace=write -o strace.log "$VELA" build proj -o target2 --no-stub --quiet >/dev/null 2>&1; grep -c 'write(' strace.log)
  rm -f target2
  for n in $(seq 1 "$writes"); do
    ( strace -f -qq -o /dev/null -e inject=write:signal=KILL:when=$n "$VELA" build proj -o target --no-stub --quiet >/dev/null 2>&1 ) 2>/dev/null
    "$VELA" verify target --quiet >/dev/null 2>&1 || fail "killed at write $n: target does not verify"
    cmp -s target target.orig || "$VELA" cat target readme.txt | cmp -s - proj/readme.txt || fail "killed at write $n: target is neither old nor new"
    cp target.orig target
    rm -f .target.* target.tmp* 2>/dev/null
  done
  for n in $(seq 1 "$writes"); do
    before=$(ls -A | wc -l)
    strace -f -qq -o /dev/null -e inject=write:error=ENOSPC:when=$n "$VELA" build proj -o target --no-stub --quiet >/dev/null 2>&1
    status=$?
    if [ $status -ne 0 ]; then
      cmp -s target target.orig || fail "full disk at write $n: the old target changed"
      [ "$(ls -A | wc -l)" -eq "$before" ] || fail "full disk at write $n: a temporary file was left: $(ls -A)"
    else
      "$VELA" verify target --quiet >/dev/null 2>&1 || fail "full disk at write $n reported success, but target does not verify"
      cp target.orig target
    fi
  done
  echo "fault injection: $writes writes swept (kill and full disk)"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "cli_test: all checks passed"
