#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each, two at a time,
# starting from the seed corpora in fuzz/corpus/<name>/ (copied, so the tree
# is never changed). A crash, leak or timeout fails the run and leaves the
# input that caused it in build/fuzz/findings/<name>/.
#   tools/fuzz.sh BUILD SECONDS
set -uo pipefail
build="$1"
seconds="$2"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$build/fuzz-work"
rm -rf "$work"
mkdir -p "$work" "$build/findings"

run() {
  local name="$1" program="$2"
  local corpus="$work/$name"
  mkdir -p "$corpus" "$build/findings/$name"
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$corpus/"
  if "$program" "$corpus" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
       -artifact_prefix="$build/findings/$name/" -print_final_stats=1 \
       > "$work/$name.log" 2>&1; then
    echo "fuzz $name: $(grep -m1 'stat::number_of_executed_units' "$work/$name.log" | awk '{print $2}') runs, nothing found"
  else
    echo "fuzz $name: FAILED (findings in $build/findings/$name/)"
    tail -n 40 "$work/$name.log"
    return 1
  fi
}

status=0
pids=()
names=()
for program in "$build"/bin/fuzz_*; do
  name="${program##*/fuzz_}"
  run "$name" "$program" &
  pids+=($!)
  names+=("$name")
  if (( ${#pids[@]} == 2 )); then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
