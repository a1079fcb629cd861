#!/usr/bin/env bash
# The protocol tests against the Windows build, under Wine: the Linux test program
# (build/tests/zerin_tests) starts build-windows/pbrain-zerin.exe through
# ZERIN_ENGINE_COMMAND for every test. Builds both first when needed (make build windows,
# which installs the cross compiler and Wine when missing). The tests about wall-clock
# time skip themselves under an engine command; the unit tests, which call the engine
# in-process, are not run. Uses a throw-away Wine prefix and ends its server afterwards.
#
#   tools/wine_tests.sh
#   tools/wine_tests.sh --gtest_filter='ProtocolDecision.*'   # arguments go to the tests
#
# Exit status 1 when a test fails or an engine process is still running afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine_common.sh

make -s build windows > /dev/null
exe="$PWD/build-windows/pbrain-zerin.exe"
if [[ "$exe" =~ [[:space:]] ]]; then
  echo "the engine command is split on blanks: move the checkout to a path without any" >&2
  exit 1
fi

trap stop_wine_prefix EXIT
start_wine_prefix "$exe"
export ZERIN_ENGINE_COMMAND="$WINE_LOADER $exe"

status=0
timeout 900 build/tests/zerin_tests --gtest_filter='Protocol*' --gtest_brief=1 "$@" || status=1

# Every engine a test started has ended or been killed by now; one still running under
# this prefix means killing the Wine loader did not end the Windows program.
for pid in $(pgrep -f 'pbrain-zerin\.exe' || true); do
  if tr '\0' '\n' < "/proc/$pid/environ" 2> /dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
    echo "engine process $pid is still running after the tests" >&2
    status=1
  fi
done
exit "$status"
