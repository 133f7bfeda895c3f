#!/usr/bin/env bash
# The whole test suite (unit, GL and end-to-end) on a build with AddressSanitizer, LeakSanitizer
# and UndefinedBehaviorSanitizer (-DNIMBREL_SANITIZE=ON) in build-asan/. Every sanitizer
# report of every process the tests start (the demo included) is written to a file under
# build-asan/sanitizer-reports/, so a report counts even where a test expects a failing exit
# status. Passes only when every test passes and there are zero reports.
# Leaks inside Mesa and the X libraries are suppressed (scripts/lsan-suppressions.txt says why);
# nothing from the project's own code is.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_DIR="${ASAN_BUILD_DIR:-build-asan}"
REPORTS="$ROOT/$BUILD_DIR/sanitizer-reports"

# clang, whose UndefinedBehaviorSanitizer also checks pointer arithmetic overflow (the normal
# build uses the default compiler, so this is a second compiler's view as well).
NIMBREL_FUZZ=1 bash scripts/install-deps.sh
# Optimised with debug information: the sanitizers' stack traces stay readable and the
# dataset loading in the end-to-end tests stays fast enough.
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBREL_SANITIZE=ON \
  -DCMAKE_CXX_COMPILER="${SANITIZE_CXX:-clang++}" >/dev/null
rm -rf "$REPORTS"
mkdir -p "$REPORTS"
export ASAN_OPTIONS="log_path=$REPORTS/asan:detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="log_path=$REPORTS/ubsan:print_stacktrace=1:halt_on_error=1"
# The build runs the sanitized resource generators too.
cmake --build "$BUILD_DIR" -j"$(nproc)"

# glfwTerminate unloads Mesa's driver before the leak check runs at exit, which leaves its
# leaks with unnamed frames that no suppression can match; preloading the driver keeps it
# mapped (nothing else changes: the same library is loaded either way).
MESA_DRIVER=$(find /usr/lib -path '*/dri/swrast_dri.so' 2>/dev/null | head -n1 || true)

status=0
xvfb-run -a -s "-screen 0 1280x1024x24" env ${MESA_DRIVER:+LD_PRELOAD="$MESA_DRIVER"} \
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 900 || status=$?

reports=$(find "$REPORTS" -type f | wc -l)
if (( reports > 0 )); then
  echo "sanitizer reports: $reports" >&2
  for f in "$REPORTS"/*; do
    # The kind of report, the program, and the first frames of the project's own code.
    echo "---- $f: $(grep -m1 -oE '(ERROR|runtime error|SUMMARY): .*' "$f" | cut -c1-160)" >&2
    grep -m1 -oE "$BUILD_DIR/[A-Za-z_]+" "$f" | sed 's/^/     program: /' >&2
    grep -E "^ +#[0-9]+ .* $ROOT/(src|tests|tools|fuzz)/" "$f" \
      | sed -E 's/ \(.*\)//; s/^ +//' | cut -c1-200 | head -n 6 | sed 's/^/     /' >&2
  done
  status=1
else
  echo "sanitizer reports: 0"
fi
exit "$status"
