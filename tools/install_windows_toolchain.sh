#!/usr/bin/env bash
# Installs what the Windows build and its tests need when the machine lacks it: Debian's
# mingw-w64 cross compiler for x86-64, POSIX threads flavour (with its binutils, objdump
# among them), and 64-bit Wine. Does nothing when everything is there; quiet otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine_common.sh

packages=()
command -v x86_64-w64-mingw32-g++-posix > /dev/null || packages+=(g++-mingw-w64-x86-64-posix)
command -v x86_64-w64-mingw32-objdump > /dev/null || packages+=(binutils-mingw-w64-x86-64)
{ find_wine_loader > /dev/null && find_wineserver > /dev/null; } || packages+=(wine64)
((${#packages[@]} == 0)) && exit 0

echo "== installing ${packages[*]}"
sudo=()
if ((EUID != 0)) && command -v sudo > /dev/null; then sudo=(sudo); fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${packages[@]}" > /dev/null
command -v x86_64-w64-mingw32-g++-posix > /dev/null && find_wine_loader > /dev/null ||
  { echo "the mingw-w64 compiler or Wine is still missing" >&2; exit 1; }
