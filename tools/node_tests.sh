#!/usr/bin/env bash
# The protocol tests against the WebAssembly engine under node: the Linux test program
# (build/tests/zerin_tests) starts `node build-web-engine/threaded/pbrain-zerin.js`
# through ZERIN_ENGINE_COMMAND for every test, as a page's worker would run it but with
# standard input and output. Builds both first when needed (make build web). The tests
# about wall-clock time and memory skip themselves under an engine command; the unit
# tests, which call the engine in-process, are not run.
#
#   tools/node_tests.sh
#   tools/node_tests.sh --gtest_filter='ProtocolDecision.*'   # arguments go to the tests
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/web_common.sh

make -s build > /dev/null
ensure_web_engine
export ZERIN_ENGINE_COMMAND="$NODE_ENGINE_COMMAND"
timeout 900 build/tests/zerin_tests --gtest_filter='Protocol*' --gtest_brief=1 "$@"
