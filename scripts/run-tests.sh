#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, GL on Mesa llvmpipe under Xvfb,
# and end-to-end runs of the real binary), then the hardening checks: the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer (scripts/run-sanitized-tests.sh), the
# bounded fuzz runs (scripts/run-fuzzers.sh, FUZZ_SECONDS per target) and the soak run
# (scripts/soak.sh). NIMBREL_HARDENING=0 runs the normal suite only.
# Every phase runs even when an earlier one failed; the status is non-zero if any failed.
set -euo pipefail
cd "$(dirname "$0")/.."
HARDENING="${NIMBREL_HARDENING:-1}"
if [[ "$HARDENING" == 1 ]]; then
  NIMBREL_FUZZ=1 bash scripts/install-deps.sh
else
  bash scripts/install-deps.sh
fi
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"

failed=()
phase() {  # name, command...: runs one phase, records a failure, prints its duration
  local name=$1 start=$SECONDS
  shift
  echo "==== $name"
  if "$@"; then
    echo "==== $name: passed in $((SECONDS - start)) s"
  else
    echo "==== $name: FAILED after $((SECONDS - start)) s"
    failed+=("$name")
  fi
}

# One virtual screen for the whole run; GL tests open hidden windows on it.
phase "tests" xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 600
if [[ "$HARDENING" == 1 ]]; then
  phase "sanitized tests" bash scripts/run-sanitized-tests.sh
  phase "fuzzing" bash scripts/run-fuzzers.sh
  phase "soak" env NIMBREL_BIN="$BUILD_DIR/nimbrel" bash scripts/soak.sh
fi
if (( ${#failed[@]} )); then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
echo "all passed"
