#!/usr/bin/env bash
# Runs the fuzz harnesses, as many at once as there are processors, each from a copy of its
# seed corpus for the given time, and fails when any of them finds a fault.
#   tools/fuzz.sh <build folder configured with OMVO_BUILD_FUZZERS=ON> [seconds] [harness ...]
# Harnesses: settings trip_list gpx overlay (default: all), 30 seconds each by default.
# New inputs stay in a scratch folder, never in the repository. A finding's input is kept in
# <build folder>/fuzz-findings/, and the end of the harness's log is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:?usage: tools/fuzz.sh <build folder> [seconds] [harness ...]}")
seconds=${2:-30}
harnesses=("${@:3}")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(settings trip_list gpx overlay)

# The harnesses write their input files and documents into a folder of their own under
# TMPDIR: memory when it can be had, not a disk that syncs rewritten files.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
findings=$build/fuzz-findings
mkdir -p "$findings"

# Fuzzes one harness; its summary line, or the end of its log and the finding, goes to its
# result file.
fuzz_one() {
  local harness=$1 log=$scratch/$1.log result=$scratch/$1.result
  cp -r "fuzz/corpus/$harness" "$scratch/$harness"
  # The readers' console texts and warnings go nowhere (-close_fd_mask=3); libFuzzer and the
  # sanitizers still write their reports to the log. An input running 10 s counts as a hang.
  if ! "$build/fuzz/${harness}_fuzz" -max_total_time="$seconds" -timeout=10 -close_fd_mask=3 \
      -print_final_stats=1 -artifact_prefix="$findings/$harness-" "$scratch/$harness" \
      > "$log" 2>&1; then
    { tail -n 80 "$log"
      echo "fuzz: $harness found a fault; its input is in $findings/"; } > "$result"
    return 1
  fi
  local runs time corpus
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  corpus=$(find "$scratch/$harness" -type f | wc -l)
  echo "fuzz: $harness: $runs runs in $time s, no finding; corpus of $corpus inputs" > "$result"
}

# One harness a processor at a time: each gets a whole processor for its time.
slots=$(nproc)
status=0
running=()
for harness in "${harnesses[@]}"; do
  if [ ${#running[@]} -ge "$slots" ]; then
    wait "${running[0]}" || status=1
    running=("${running[@]:1}")
  fi
  fuzz_one "$harness" &
  running+=($!)
done
for pid in "${running[@]}"; do wait "$pid" || status=1; done
for harness in "${harnesses[@]}"; do cat "$scratch/$harness.result"; done
exit $status
