#!/usr/bin/env bash
# Builds the board page as a static site (make web): the page's files from web/ and the
# engine compiled twice by emscripten (installed when missing), with threads and without,
# in build-web-engine/threaded and build-web-engine/single. The site:
#
#   build-web/index.html, style.css, favicon.svg, js/*.js      the page
#   build-web/engine/threaded/pbrain-zerin.js, .wasm, .worker.js
#   build-web/engine/single/pbrain-zerin.js, .wasm
#
#   tools/build_web.sh [SITE_DIR]     (build-web by default)
set -euo pipefail
cd "$(dirname "$0")/.."
site="${1:-build-web}"
jobs="${JOBS:-2}"

tools/install_web_toolchain.sh
# Debian's emscripten runs its JavaScript tools with node and finds their modules (acorn)
# in Debian's node folder, which a node from elsewhere does not search by itself.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"

mkdir -p build-web-engine
for flavour in threaded single; do
  dir="build-web-engine/$flavour"
  threads=ON
  [[ "$flavour" == single ]] && threads=OFF
  if [[ ! -f "$dir/CMakeCache.txt" ]]; then
    emcmake cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DZERIN_WEB_THREADS="$threads" \
      -DZERIN_TESTS=OFF -DZERIN_BENCH=OFF > "$dir.configure.log" 2>&1 ||
      { cat "$dir.configure.log"; exit 1; }
  fi
  cmake --build "$dir" -j "$jobs" --target pbrain-zerin
done

rm -rf "$site"
mkdir -p "$site/js" "$site/engine/threaded" "$site/engine/single"
cp web/index.html web/style.css web/favicon.svg "$site/"
cp web/js/*.js "$site/js/"
cp build-web-engine/threaded/pbrain-zerin.{js,wasm,worker.js} "$site/engine/threaded/"
cp build-web-engine/single/pbrain-zerin.{js,wasm} "$site/engine/single/"
echo "$site: the page and both engines (make serve serves it on http://localhost:8000)"
