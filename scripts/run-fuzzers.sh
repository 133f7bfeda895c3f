#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# into build-fuzz/, writes their seed corpora, and runs every target for a bounded time.
# Prints each target's run count; exits non-zero when any target finds a crash, a sanitizer
# report, a broken invariant, a timeout or an out-of-memory input (the input is saved under
# build-fuzz/artifacts/ and the log under build-fuzz/logs/).
#
#   FUZZ_SECONDS   seconds per target (default 60)
#   FUZZ_JOBS      targets run at the same time (default: number of cores)
#   FUZZ_TARGETS   space-separated subset, e.g. "fuzz_bmp fuzz_dds" (default: all)
#   FUZZ_FLAGS     extra libFuzzer flags, e.g. "-only_ascii=1"
#
# Replay one saved input: build-fuzz/fuzz_<target> build-fuzz/artifacts/<file>
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${FUZZ_BUILD_DIR:-build-fuzz}"
SECONDS_PER_TARGET="${FUZZ_SECONDS:-60}"
JOBS="${FUZZ_JOBS:-$(nproc)}"

NIMBREL_FUZZ=1 bash scripts/install-deps.sh
cmake -S fuzz -B "$BUILD_DIR" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" >/dev/null

read -r -a targets <<<"${FUZZ_TARGETS:-$(tr '\n' ' ' <"$BUILD_DIR/fuzz_targets.txt")}"
rm -rf "$BUILD_DIR/artifacts"
mkdir -p "$BUILD_DIR/logs" "$BUILD_DIR/artifacts"

run_target() {
  local target=$1
  local corpus="$BUILD_DIR/corpus/$target"
  mkdir -p "$corpus"
  # stdout and stderr of the code under test are closed (the readers print diagnostics);
  # libFuzzer and the sanitizers still report on their own copy of stderr.
  local status=0
  "$BUILD_DIR/$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$BUILD_DIR/artifacts/$target-" \
    ${FUZZ_FLAGS:-} "$corpus" "$BUILD_DIR/seeds/$target" >"$BUILD_DIR/logs/$target.log" 2>&1 || status=$?
  echo "$status" >"$BUILD_DIR/logs/$target.status"
}

echo "Fuzzing ${#targets[@]} targets for ${SECONDS_PER_TARGET} s each, ${JOBS} at a time"
running=0
for target in "${targets[@]}"; do
  [[ -x "$BUILD_DIR/$target" ]] || { echo "no fuzz target $target" >&2; exit 2; }
  run_target "$target" &
  running=$((running + 1))
  if (( running >= JOBS )); then wait -n || true; running=$((running - 1)); fi
done
wait

failed=0
total=0
printf '%-20s %12s %8s %10s %8s  %s\n' target runs seconds "runs/s" corpus result
for target in "${targets[@]}"; do
  log="$BUILD_DIR/logs/$target.log"
  status=$(cat "$BUILD_DIR/logs/$target.status")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n1)
  corpus=$(find "$BUILD_DIR/corpus/$target" -type f | wc -l)
  runs=${runs:-0}
  rate=$(( ${secs:-0} > 0 ? runs / secs : 0 ))
  total=$((total + runs))
  if [[ "$status" == 0 ]] && grep -q '^Done ' "$log"; then
    result="ok, 0 crashes"
  else
    result="FAILED (status $status), see $log"
    failed=1
  fi
  printf '%-20s %12s %8s %10s %8s  %s\n' "$target" "$runs" "${secs:-?}" "$rate" "$corpus" "$result"
done
echo "total runs: $total"
if (( failed )); then
  for target in "${targets[@]}"; do
    [[ "$(cat "$BUILD_DIR/logs/$target.status")" == 0 ]] && continue
    echo "---- $target ----" >&2
    grep -E 'ERROR|runtime error|FUZZ_CHECK|SUMMARY|Test unit written|^    #[0-9]' "$BUILD_DIR/logs/$target.log" | head -40 >&2
  done
  exit 1
fi
