#!/usr/bin/env bash
# The bench's node count (its signature) must be the same from the Linux build and from
# the Windows build under Wine: runs `pbrain-zerin bench` with both through
# tools/bench_signature.py. Builds both first when needed (make build windows); Wine runs
# in a throw-away prefix. Exit status 1 when a signature line is missing or they differ.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine_common.sh

make -s build windows > /dev/null
exe="$PWD/build-windows/pbrain-zerin.exe"
trap stop_wine_prefix EXIT
start_wine_prefix "$exe"
python3 tools/bench_signature.py "$(printf %q "$PWD/build/pbrain-zerin")" "$(printf "%q %q" "$WINE_LOADER" "$exe")"
