#!/usr/bin/env bash
# The main job: shows what Vela can do at this point of its development, on the
# example project in examples/demo (texts in UTF-8, packaged for code page 1251).
set -eu
vela=${1:-build/native-release/bin/vela}
work=build/demo
rm -rf "$work"
mkdir -p "$work"
run() { echo; echo "\$ $*"; "$@"; }

echo "Vela builds single-file installers for Windows: one executable that carries"
echo "the product's files, a setup script, language catalogues and a logo."
run "$vela" --version
run "$vela" check examples/demo --codepage=1251
run "$vela" build examples/demo -o "$work/demo.pkg" --no-stub --codepage=1251
run "$vela" verify "$work/demo.pkg" --codepage=1251
run "$vela" list "$work/demo.pkg" --codepage=1251
run "$vela" cat "$work/demo.pkg" readme.txt
echo
echo "Installed without a window into a staging folder that stands for a Windows"
echo "machine (drive C: is ROOT/drive_c, the registry ROOT/registry.reg):"
run "$vela" install "$work/demo.pkg" --root "$work/machine" --desktop --codepage=1251
run cat "$work/machine/registry.reg"
echo
echo "\$ find $work/machine/drive_c -type f"
(cd "$work/machine/drive_c" && find . -type f | sort)
echo
echo "A new project, as a publisher would start one:"
run "$vela" init "$work/starter"
run "$vela" build "$work/starter" -o "$work/starter.pkg" --no-stub --quiet
