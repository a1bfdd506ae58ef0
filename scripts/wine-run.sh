#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix; CMake uses it as the
# emulator of the Windows builds, so ctest runs the .exe tests through it.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" >/dev/null || exit 1
fi
exec "$VELA_WINE" "$@"
