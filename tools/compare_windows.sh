#!/usr/bin/env bash
# The Windows build must decide exactly like the Linux build: runs every benchmark
# position (bench/positions/positions.txt) through both under a node budget, with a
# timeout_turn so large that time never ends a search, once with the plain reports and
# once with show_detail, and requires the same replies and report lines, the clock
# fields (times, speeds) aside. Builds both first when needed (make build windows); the
# Windows build runs under Wine in a throw-away prefix.
#
#   tools/compare_windows.sh             # budget 50 (x 1024 nodes)
#   tools/compare_windows.sh 200         # another budget
#
# Exit status 1 on a difference or an illegal reply; the differences are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine_common.sh
source tools/compare_common.sh
budget="${1:-50}"

make -s build windows > /dev/null
exe="$PWD/build-windows/pbrain-zerin.exe"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/zerin-compare.XXXXXX")"
trap 'stop_wine_prefix; rm -rf "$scratch"' EXIT
start_wine_prefix "$exe"

status=0
compare_reports "$scratch" Windows "$(printf "%q %q" "$WINE_LOADER" "$exe")" --max-node "$budget" || status=1
exit "$status"
