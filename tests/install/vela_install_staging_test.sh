#!/usr/bin/env bash
# vela install into a staging root: exit status, report and what lands on the
# staged machine, for a good package, a damaged one, a refused script and wrong usage.
#   vela_install_staging_test.sh VELA MAKE_TEST_PACKAGE
set -u
vela=$1
make_package=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/p"
printf 'MZ tool' >"$work/p/tool.exe"
printf 'MZ uninstaller' >"$work/p/uninst.exe"
script='[General]\nProduct name=Staged\nRegistry key=Software\\Staged\nDefault folder=C:\\Program Files\\Staged\nDefault program folder=Staged\nNumber of files=2\n[0]\nName=tool.exe\nCreate name=tool.exe\nShortcut name=Tool\nCan uninstall=1\n[1]\nName=uninst.exe\nCreate name=uninst.exe\nCan uninstall=1\n'
printf "$script" >"$work/p/Vela.ini"
"$make_package" "$work/good.pkg" "Vela.ini=$work/p/Vela.ini" "tool.exe=$work/p/tool.exe" "uninst.exe=$work/p/uninst.exe" ||
    fail "writing the package"

# Installed, with the group and folder given.
"$vela" install "$work/good.pkg" --root "$work/m1" --dir 'D:/x' --startup >"$work/out.txt" 2>&1
[ $? = 1 ] || fail "drive D: does not exist on the staged machine: the files must fail"
grep -q "^Failures (4)" "$work/out.txt" || { cat "$work/out.txt"; fail "two files and their two shortcuts must fail"; }
"$vela" install "$work/good.pkg" --root "$work/m1" --group 'Tools\Staged' --startup --user anna >"$work/out.txt" 2>&1 ||
    { cat "$work/out.txt"; fail "good package not installed"; }
[ "$(cat "$work/m1/drive_c/Program Files/Staged/tool.exe")" = "MZ tool" ] || fail "tool.exe not in place"
[ -f "$work/m1/drive_c/users/anna/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tools/Staged/Tool.lnk" ] ||
    fail "no group shortcut"
[ -f "$work/m1/drive_c/users/anna/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/Tool.lnk" ] ||
    fail "no start-up shortcut"
grep -q -F '"UninstallString"="\"C:\\Program Files\\Staged\\uninst.exe\" Software\\Staged"' "$work/m1/registry.reg" ||
    fail "uninstall string"

# JSON report.
"$vela" install "$work/good.pkg" --root "$work/m2" --json >"$work/out.json" || fail "--json install"
python3 - "$work/out.json" <<'PY' || fail "JSON report"
import json, sys
r = json.load(open(sys.argv[1]))
assert r["success"] and not r["refused"], r
assert r["progress"] == [0, 90, 90, 100], r["progress"]
assert r["files"] == ["C:\\Program Files\\Staged\\tool.exe", "C:\\Program Files\\Staged\\uninst.exe"], r["files"]
assert r["registry"][0] == {"key": "HKEY_LOCAL_MACHINE\\Software\\Staged", "name": "Path",
                            "value": "C:\\Program Files\\Staged\\", "written": True}, r["registry"][0]
PY

# A damaged entry: not written, reported, exit 1.
python3 - "$work/good.pkg" "$work/bad.pkg" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(b"MZ tool")
data[at + 3] ^= 0x20
open(sys.argv[2], "wb").write(data)
PY
"$vela" install "$work/bad.pkg" --root "$work/m3" >"$work/out.txt" 2>&1
[ $? = 1 ] || { cat "$work/out.txt"; fail "damaged package must fail"; }
grep -q "checksum" "$work/out.txt" || { cat "$work/out.txt"; fail "no checksum failure"; }
[ ! -e "$work/m3/drive_c/Program Files/Staged/tool.exe" ] || fail "damaged file written"

# A refused script: nothing written.
printf "${script/Registry key=Software\\\\Staged/Registry key=}" >"$work/p/Vela.ini"
"$make_package" "$work/refused.pkg" "Vela.ini=$work/p/Vela.ini" "tool.exe=$work/p/tool.exe" "uninst.exe=$work/p/uninst.exe"
"$vela" install "$work/refused.pkg" --root "$work/m4" >"$work/out.txt" 2>&1
[ $? = 1 ] || { cat "$work/out.txt"; fail "refused script must fail"; }
grep -q "Registry key" "$work/out.txt" || { cat "$work/out.txt"; fail "refusal does not name the key"; }
[ -z "$(find "$work/m4" -type f)" ] || fail "a refused script wrote something"

# Wrong usage.
"$vela" install "$work/good.pkg" >/dev/null 2>&1
[ $? = 2 ] || fail "without --root on Linux: usage error"
"$vela" install "$work/good.pkg" --root "$work/m5" --lang Klingon >/dev/null 2>&1
[ $? = 2 ] || fail "unknown language: usage error"
for user in .. . 'a/b' 'a\b' ''; do
  "$vela" install "$work/good.pkg" --root "$work/m6" --user "$user" >/dev/null 2>&1
  [ $? = 2 ] || fail "--user '$user': usage error"
done
[ ! -e "$work/m6" ] || fail "a refused --user wrote something"
echo PASS
