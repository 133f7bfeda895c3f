#!/usr/bin/env bash
# Without any X display the demo reports the failed start-up and exits with a failure status,
# without a crash or a hang.
set -uo pipefail
NIMBREL=$1
source "$(dirname "$0")/common.bash"
err=$(mktemp); out=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$NIMBREL" 320 240 60 0 >"$out" 2>"$err" </dev/null
status=$?
[[ $status -ne 0 ]] || fail "exit status 0 without a display"
[[ $status -ne 124 ]] || fail "hung without a display"
(( status < 128 )) || fail "killed by signal $((status - 128)); stderr: $(cat "$err")"
grep -qF "Failed to initialize GLFW" "$err" || grep -qF "Failed to open GLFW window" "$err" \
  || fail "no start-up failure message; stderr: $(cat "$err")"
grep -qF "error == 0" "$err" || fail "no failed-check report; stderr: $(cat "$err")"
expect_line "$out" "VantorEngine init start"
expect_line "$out" "VantorEngine deinit end"
if grep -qxF "VantorEngine run start" "$out"; then fail "run entered after a failed start-up"; fi
echo "no-display ok"
