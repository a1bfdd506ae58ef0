#!/usr/bin/env bash
# vela.exe build and vela.exe install of a small package on the (Wine) machine
# itself, without a staging root, then the machine looked at from outside: the
# registry with "reg query" in the same prefix, the files and shortcuts on its
# drive C.
#   vela_install_wine_test.sh VELA_EXE
set -u
vela=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"
[ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/wine-prefix.sh" >/dev/null || exit 1

work=$(mktemp -d)
unique=$$
key="Software\\VelaTest\\Exe$unique"
product="VelaTest Exe $unique"
folder="C:\\VelaTest\\Exe $unique"
group="VelaTest Exe $unique"
uninstall="HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
drive_c="$WINEPREFIX/drive_c"
cleanup() {
    "$VELA_WINE" reg delete "HKLM\\Software\\VelaTest" /f >/dev/null 2>&1
    "$VELA_WINE" reg delete "$uninstall" /f >/dev/null 2>&1
    rm -rf "$work" "$drive_c/VelaTest"
    find -L "$drive_c/users" -maxdepth 10 -name "$group" -exec rm -rf {} + 2>/dev/null
    find -L "$drive_c/users" -maxdepth 4 -path "*Desktop/Tool$unique.lnk" -delete 2>/dev/null
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

mkdir -p "$work/project"
printf 'MZ tool' >"$work/project/tool.exe"
printf 'MZ uninstaller' >"$work/project/uninst.exe"
cat >"$work/project/Vela.ini" <<INI
[General]
Product name=$product
Registry key=$key
Default folder=C:\\Somewhere\\Else
Default program folder=Unused
Run with '/uninstall'=1
Number of files=2
[0]
Name=tool.exe
Create name=bin\\tool.exe
Shortcut name=Tool$unique
Can uninstall=1
[1]
Name=uninst.exe
Create name=uninst.exe
Can uninstall=1
INI

printf 'BM' >"$work/project/logo.bmp"
# The package is built by vela.exe itself, as a publisher on Windows would.
"$VELA_WINE" "$vela" build "$(winpath "$work/project")" -o "$(winpath "$work/test.pkg")" --no-stub --quiet \
    >"$work/build.txt" 2>&1 || { cat "$work/build.txt"; fail "vela.exe build"; }
"$VELA_WINE" "$vela" install "$(winpath "$work/test.pkg")" --dir "$folder" --group "$group" --desktop \
    >"$work/install.txt" 2>&1 || { cat "$work/install.txt"; fail "vela.exe install"; }
cat "$work/install.txt"
grep -q "^Installed\." "$work/install.txt" || fail "no success line"

"$VELA_WINE" reg query "HKLM\\$key" >"$work/product.txt" 2>&1 || { cat "$work/product.txt"; fail "reg query of the product key"; }
"$VELA_WINE" reg query "$uninstall" >"$work/uninstall.txt" 2>&1 || { cat "$work/uninstall.txt"; fail "reg query of the uninstall key"; }
cat "$work/product.txt" "$work/uninstall.txt"
sed -i 's/\r$//' "$work/product.txt" "$work/uninstall.txt"
expect() {  # file, value name, exact data
    grep -q -F -x -- "    $2    REG_SZ    $3" "$1" || fail "$2 is not '$3'"
}
expect "$work/product.txt" "Path" "$folder\\"
expect "$work/product.txt" "Product" "$product"
expect "$work/product.txt" "0.file" "$folder\\bin\\tool.exe"
expect "$work/product.txt" "Main executable" "$folder\\bin\\tool.exe"
expect "$work/product.txt" "0.regkey" "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
expect "$work/product.txt" "1.regkey" "$key"
expect "$work/uninstall.txt" "DisplayName" "$product"
expect "$work/uninstall.txt" "UninstallString" "\"$folder\\uninst.exe\" $key"

[ "$(cat "$drive_c/VelaTest/Exe $unique/bin/tool.exe")" = "MZ tool" ] || fail "tool.exe is not in place"
[ "$(cat "$drive_c/VelaTest/Exe $unique/uninst.exe")" = "MZ uninstaller" ] || fail "uninst.exe is not in place"
[ -n "$(find -L "$drive_c/users" -maxdepth 10 -path "*$group/Tool$unique.lnk")" ] || fail "no group shortcut"
[ -n "$(find -L "$drive_c/users" -maxdepth 4 -path "*Desktop/Tool$unique.lnk")" ] || fail "no desktop shortcut"
if command -v lnkinfo >/dev/null; then
    lnk=$(find -L "$drive_c/users" -maxdepth 10 -path "*$group/Tool$unique.lnk" | head -n 1)
    lnkinfo "$lnk" | tee "$work/lnkinfo.txt" | grep -q -F "bin\\tool.exe" || { cat "$work/lnkinfo.txt"; fail "lnkinfo does not see the target"; }
fi
echo "PASS"
