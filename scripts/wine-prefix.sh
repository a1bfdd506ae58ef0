#!/usr/bin/env bash
# Creates the project's Wine prefix (once). The Windows test suite's first test
# (platform_code_page) asserts that it runs with the ANSI code page 1251.
set -eu
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.cp1251'; then
  echo "wine-prefix: locale ru_RU.CP1251 is missing (run scripts/install-deps.sh)" >&2
  exit 1
fi
mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-prefix: creating $WINEPREFIX"
  "$VELA_WINE" wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
[ -f "$WINEPREFIX/system.reg" ] || { echo "wine-prefix: could not create $WINEPREFIX" >&2; exit 1; }
echo "wine-prefix: $WINEPREFIX ready ($VELA_WINE)"
