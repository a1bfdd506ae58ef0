#!/usr/bin/env bash
# The Windows packaging tool under Wine, as a publisher on Windows uses it:
# init, check, build, list, verify and extract, with a Cyrillic catalogue in
# UTF-8 packaged for code page 1251. Usage: cli_windows_test.sh VELA.EXE
set -u
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../scripts/wine-run.sh"
VELA=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/vela-win-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
vela() { "$run" "$VELA" "$@"; }

vela init proj >/dev/null || fail "init"
printf '[Main]\r\ncomplete=\xd0\x93\xd0\xbe\xd1\x82\xd0\xbe\xd0\xb2\xd0\xbe\r\n' > proj/Russian.clg
vela check proj --codepage=1251 >/dev/null || fail "check"
vela build proj -o pkg --no-stub --codepage=1251 --quiet >/dev/null || fail "build"
vela verify pkg --quiet >/dev/null || fail "verify"
vela list pkg --json > list.json || fail "list"
grep -q '"name": "Russian.clg"' list.json || fail "list --json lacks the catalogue"
mkdir out && vela extract pkg -C out >/dev/null || fail "extract"
cmp -s proj/logo.bmp out/logo.bmp || fail "extracted logo differs"
# The catalogue went into the package in code page 1251 ("Готово").
printf '[Main]\r\ncomplete=\xc3\xee\xf2\xee\xe2\xee\r\n' | cmp -s - out/Russian.clg || fail "catalogue not converted to 1251"
vela verify proj/Vela.ini >/dev/null 2>&1 && fail "verify accepted a file that is not a package"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "cli_windows_test: all checks passed"
