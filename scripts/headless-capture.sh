#!/usr/bin/env bash
# Runs the demo on the current (virtual) display, waits until its first statistics title has
# appeared plus WAIT_SECONDS, saves the window as SCREENSHOT, sends Escape, and returns the
# demo's exit status. Used by run-demo.sh without a display and by the README screenshot.
set -uo pipefail
: "${NIMBREL_BIN:?}" "${SCREENSHOT:?}"
WAIT_SECONDS="${WAIT_SECONDS:-5}"
TIMEOUT_SECONDS="${TIMEOUT_SECONDS:-300}"

"$NIMBREL_BIN" "$@" &
pid=$!

wid=""
deadline=$((SECONDS + TIMEOUT_SECONDS))
# The title becomes the statistics line once the first frame has been updated.
while kill -0 "$pid" 2>/dev/null && (( SECONDS < deadline )); do
  wid=$(xdotool search --name "Nimbrel!" 2>/dev/null | head -n1 || true)
  [[ -n "$wid" ]] && break
  sleep 0.5
done
if [[ -z "$wid" ]]; then
  echo "The demo did not show a frame (see its messages above)." >&2
  wait "$pid"
  exit $?
fi
sleep "$WAIT_SECONDS"
mkdir -p "$(dirname "$SCREENSHOT")"
import -window "$wid" "$SCREENSHOT"
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" Escape 2>/dev/null || true
xdotool key Escape 2>/dev/null || true
wait "$pid"
status=$?
echo "Screenshot saved to $SCREENSHOT"
exit $status
