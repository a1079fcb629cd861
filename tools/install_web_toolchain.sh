#!/usr/bin/env bash
# Installs what the WebAssembly build and its tests need when the machine lacks it:
# Debian's emscripten (which brings its clang, binaryen and prebuilt system libraries)
# and, with --browser, Debian's chromium for the page's browser tests. Does nothing when
# everything is there; quiet otherwise. Other scripts may hold apt's lock: it is waited
# for.
#
#   tools/install_web_toolchain.sh              # emscripten
#   tools/install_web_toolchain.sh --browser    # emscripten and chromium
set -euo pipefail

browser=0
[[ "${1:-}" == --browser ]] && browser=1

packages=()
command -v emcc > /dev/null || packages+=(emscripten)
command -v node > /dev/null || packages+=(nodejs)
((browser)) && { command -v chromium > /dev/null || packages+=(chromium); }
((${#packages[@]} == 0)) && exit 0

echo "== installing ${packages[*]}"
sudo=()
if ((EUID != 0)) && command -v sudo > /dev/null; then sudo=(sudo); fi
apt=(apt-get -o DPkg::Lock::Timeout=600)
"${sudo[@]}" "${apt[@]}" update -qq
# chromium without its recommends: no fonts and desktop integration beyond what it needs.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  "${apt[@]}" install -y -qq --no-install-recommends "${packages[@]}" > /dev/null
command -v emcc > /dev/null || { echo "emscripten is still missing" >&2; exit 1; }
if ((browser)); then command -v chromium > /dev/null || { echo "chromium is still missing" >&2; exit 1; }; fi
