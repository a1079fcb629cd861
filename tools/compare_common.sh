# Sourced by compare_windows.sh and compare_node.sh: the benchmark positions through the
# Linux build and through another build, once with the plain reports and once with
# show_detail, the replies and report lines compared, the clock fields (times, speeds) aside.

# compare_reports SCRATCH NAME ENGINE_COMMAND [run_positions.py options...]: NAME names the
# other build in the messages, ENGINE_COMMAND starts it. Returns 1 when it differs (the
# positions that differ are printed, with both versions of each differing field); exits
# when the Linux build itself fails on the positions.
compare_reports() {
  local scratch="$1" name="$2" engine="$3"
  shift 3
  local status=0 mode
  local -a options
  for mode in plain detail; do
    options=(--positions bench/positions/positions.txt --timeout-turn 100000 "$@")
    [[ "$mode" == detail ]] && options+=(--show-detail)
    if ! python3 tools/run_positions.py "${options[@]}" --out "$scratch/linux-$mode.tsv" \
      > "$scratch/linux-$mode.log"; then
      cat "$scratch/linux-$mode.log"
      echo "the Linux build fails on the positions ($mode reports)" >&2
      exit 1
    fi
    if python3 tools/run_positions.py "${options[@]}" --engine "$engine" --compare "$scratch/linux-$mode.tsv" \
      > "$scratch/other-$mode.log"; then
      echo "$mode reports: $(grep '^compared' "$scratch/other-$mode.log")"
    else
      grep -E '^#[0-9]+: |^    (before|now): |PROBLEM|^compared|positions, ' "$scratch/other-$mode.log" || true
      echo "the $name build differs from the Linux build ($mode reports)" >&2
      status=1
    fi
  done
  return "$status"
}
