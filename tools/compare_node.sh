#!/usr/bin/env bash
# The WebAssembly engine must decide exactly like the native one: runs every benchmark
# position (bench/positions/positions.txt) through the native build and through the
# threaded WebAssembly build under node, under a node budget with a timeout_turn so large
# that time never ends a search, once with the plain reports and once with show_detail,
# and requires the same replies and report lines, the clock fields (times, speeds) aside.
# Both run with the bench's 65536 hash buckets (24 MiB): the default 192 MiB would be
# cleared by each of the 188 processes, which under node costs half a second apiece.
# Then both run `bench`, and the build without threads too: their node counts must agree.
# Builds both first when needed (make build web).
#
#   tools/compare_node.sh             # budget 50 (x 1024 nodes)
#   tools/compare_node.sh 200         # another budget
#
# Exit status 1 on a difference or an illegal reply; the differences are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/web_common.sh
source tools/compare_common.sh
budget="${1:-50}"

make -s build > /dev/null
ensure_web_engine
scratch="$(mktemp -d "${TMPDIR:-/tmp}/zerin-compare.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

status=0
compare_reports "$scratch" WebAssembly "$NODE_ENGINE_COMMAND" --max-node "$budget" --info hash_size=65536 || status=1
python3 tools/bench_signature.py "$(printf %q "$PWD/build/pbrain-zerin")" "$NODE_ENGINE_COMMAND" \
  "$NODE_SINGLE_ENGINE_COMMAND" || status=1
exit "$status"
