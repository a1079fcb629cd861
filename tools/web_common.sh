# Sourced by the scripts that run the WebAssembly engine under node: its command line.
#
# The threaded build is the one the tests run: the same engine a cross-origin isolated
# page runs. Node 18 and later have fetch, which emscripten's loader would then take for
# reading the .wasm and fail on a file path: --no-experimental-fetch turns it off.
WEB_ENGINE="$PWD/build-web-engine/threaded/pbrain-zerin.js"
NODE_ENGINE_COMMAND="node --no-experimental-fetch $WEB_ENGINE"
# The build without threads, which pages that are not cross-origin isolated run.
NODE_SINGLE_ENGINE_COMMAND="node --no-experimental-fetch $PWD/build-web-engine/single/pbrain-zerin.js"

# Builds the site and both engines when needed (make web); fails when the path has a
# blank, since engine commands are split on blanks.
ensure_web_engine() {
  if [[ "$WEB_ENGINE" =~ [[:space:]] ]]; then
    echo "the engine command is split on blanks: move the checkout to a path without any" >&2
    return 1
  fi
  make -s web > /dev/null
}
