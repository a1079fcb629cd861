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
budget="${1:-50}"

make -s build windows > /dev/null
exe="$PWD/build-windows/pbrain-zerin.exe"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/zerin-compare.XXXXXX")"
trap 'stop_wine_prefix; rm -rf "$scratch"' EXIT
start_wine_prefix "$exe"

run() {
  python3 tools/run_positions.py --positions bench/positions/positions.txt \
    --max-node "$budget" --timeout-turn 100000 "$@"
}

status=0
for mode in plain detail; do
  options=()
  [[ "$mode" == detail ]] && options=(--show-detail)
  if ! run "${options[@]}" --out "$scratch/linux-$mode.tsv" > "$scratch/linux-$mode.log"; then
    cat "$scratch/linux-$mode.log"
    echo "the Linux build fails on the positions ($mode reports)" >&2
    exit 1
  fi
  if run "${options[@]}" --engine "$(printf "%q %q" "$WINE_LOADER" "$exe")" --compare "$scratch/linux-$mode.tsv" \
    > "$scratch/windows-$mode.log"; then
    echo "$mode reports: $(grep '^compared' "$scratch/windows-$mode.log")"
  else
    # The positions that differ, with the two versions of each differing field.
    grep -E '^#[0-9]+: |^    (before|now): |PROBLEM|^compared|positions, ' "$scratch/windows-$mode.log" || true
    echo "the Windows build differs from the Linux build ($mode reports)" >&2
    status=1
  fi
done
exit "$status"
