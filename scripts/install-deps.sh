#!/usr/bin/env bash
# Installs the Debian packages that building and testing Vela need, and nothing
# when they are all present (so it is cheap to run before every `make test`).
set -eu
need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

# wine64 and the 64-bit MinGW compiler run the Windows tests where the kernel
# cannot start 32-bit programs (see scripts/wine-env.sh); wine32 runs them where it can.
for p in cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest \
         g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils imagemagick \
         locales bzip2 gzip lz4 liblnk-utils strace time openssl; do
  have_pkg "$p" || need+=("$p")
done
have_pkg wine32:i386 || need+=(wine32:i386)

if [ ${#need[@]} -gt 0 ]; then
  SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  echo "install-deps: installing ${need[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
fi

# A generated glibc locale is what gives Wine the Cyrillic ANSI code page 1251.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.cp1251'; then
  SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO localedef -i ru_RU -f CP1251 ru_RU.CP1251
fi
