#!/usr/bin/env bash
# The main job: shows what Vela can do at this point of its development.
set -eu
vela=${1:-build/native-release/bin/vela}
echo "Vela builds single-file installers for Windows: one executable that carries"
echo "the product's files, a setup script, language catalogues and a logo."
echo
echo "\$ vela --version"
"$vela" --version
echo
echo "\$ vela help"
"$vela" help
