# Sourced by the scripts that run Windows programs: one Wine prefix for the project,
# quiet, without Mono/Gecko prompts, and with the Cyrillic ANSI code page 1251 (OEM
# 866) that the installer's Russian users run with.
VELA_ROOT=${VELA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$VELA_ROOT/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
export LC_ALL=ru_RU.CP1251

# Debian's "wine" picks the 32-bit loader whenever wine32 is installed, but a
# kernel without IA-32 emulation cannot start it. Use the 64-bit loader there; it
# runs the 64-bit Windows builds (preset win64).
if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  VELA_WINE=/usr/lib/wine/wine
  VELA_WINE_CAN_RUN_32=1
else
  VELA_WINE=/usr/lib/wine/wine64
  VELA_WINE_CAN_RUN_32=0
  export WINELOADER=$VELA_WINE
  export WINESERVER=/usr/lib/wine/wineserver64
fi
export VELA_WINE VELA_WINE_CAN_RUN_32
