#!/usr/bin/env bash
# Runs the demo on the current (virtual) display, waits for its first drawn frames plus
# WAIT_SECONDS, saves the window as SCREENSHOT, sends Escape, and returns the demo's exit status.
# Used by run-demo.sh without a display and for the README screenshot.
set -uo pipefail
: "${NIMBREL_BIN:?}" "${SCREENSHOT:?}"
WAIT_SECONDS="${WAIT_SECONDS:-5}"
TIMEOUT_SECONDS="${TIMEOUT_SECONDS:-300}"

"$NIMBREL_BIN" "$@" &
pid=$!

find_window() { xdotool search --name "$1" 2>/dev/null | head -n1 || true; }

wid=""
deadline=$((SECONDS + TIMEOUT_SECONDS))
# The window exists once start-up (dataset loading included) is over.
while kill -0 "$pid" 2>/dev/null && (( SECONDS < deadline )); do
  wid=$(find_window "Vantor Engine|Nimbrel!")
  [[ -n "$wid" ]] && break
  sleep 0.5
done
if [[ -z "$wid" ]]; then
  echo "The demo did not open its window (see its messages above)." >&2
  kill "$pid" 2>/dev/null
  wait "$pid"
  exit 1
fi
# The title becomes the statistics line at the first updated frame. Frames slower than half a
# second are drawn without updates (large windows on a software renderer), so after a while
# the capture goes ahead without it.
title_deadline=$((SECONDS + 30))
while kill -0 "$pid" 2>/dev/null && (( SECONDS < title_deadline )); do
  [[ -n "$(find_window "Nimbrel!")" ]] && break
  sleep 0.5
done
sleep "$WAIT_SECONDS"
mkdir -p "$(dirname "$SCREENSHOT")"
import -window "$wid" "$SCREENSHOT"
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" Escape 2>/dev/null || true
xdotool key Escape 2>/dev/null || true
# Escape is seen after the frame being drawn; give slow frames time, then stop waiting.
for _ in $(seq 1 600); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.5
done
if kill -0 "$pid" 2>/dev/null; then
  echo "The demo did not end after Escape; stopping it." >&2
  kill "$pid"
fi
wait "$pid"
status=$?
echo "Screenshot saved to $SCREENSHOT"
exit $status
