#!/usr/bin/env bash
# Runs a Windows program under Wine in a throw-away prefix, with the given arguments and
# its standard input and output: the cross build's emulator (CMAKE_CROSSCOMPILING_EMULATOR),
# which runs the instrumented engine's bench for the Windows program's profile.
#
#   tools/wine_run.sh build-windows/pgo-generate/pbrain-zerin.exe bench
set -euo pipefail
source "$(dirname "$0")/wine_common.sh"

exe="$1"
shift
trap stop_wine_prefix EXIT
start_wine_prefix "$exe"
"$WINE_LOADER" "$exe" "$@"
