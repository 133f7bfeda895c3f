#!/usr/bin/env bash
# Runs the demo on the current (virtual) display, waits until it has presented CAPTURE_FRAMES
# frames (default 2) and then WAIT_SECONDS more (default 0), saves the window as SCREENSHOT,
# sends Escape, and returns the demo's exit status. Used by run-demo.sh without a display and
# for the README screenshot.
#
# A preloaded probe (scripts/capture-frame-probe.c, built next to NIMBREL_BIN) logs every buffer
# swap, so the capture waits for frames that were really presented, however slow they are; the
# window title is no signal, since frames of half a second or more never update it. The second
# swap is waited for because the window then holds a finished frame whatever the X server did
# with the first one. Gives up with a message, and no screenshot, when the frames have not come
# after TIMEOUT_SECONDS (default 900) or the demo ends first. Prints what it waits for every
# REPORT_SECONDS (default 10; after the first minute three times that).
set -uo pipefail
: "${NIMBREL_BIN:?}" "${SCREENSHOT:?}"
CAPTURE_FRAMES="${CAPTURE_FRAMES:-2}"
WAIT_SECONDS="${WAIT_SECONDS:-0}"
TIMEOUT_SECONDS="${TIMEOUT_SECONDS:-900}"
REPORT_SECONDS="${REPORT_SECONDS:-10}"
SCRIPT_DIR=$(cd "$(dirname "$0")" && pwd)

say() { echo "capture: $*" >&2; }

source "$SCRIPT_DIR/capture-frame-probe.bash"
preload=$(frame_probe_preload "$NIMBREL_BIN") || exit 1

frame_log=$(mktemp)
rm -f "$SCREENSHOT"
LD_PRELOAD="$preload" NIMBREL_FRAME_LOG="$frame_log" "$NIMBREL_BIN" "$@" &
pid=$!
trap 'kill "$pid" 2>/dev/null; rm -f "$frame_log"' EXIT

find_window() { xdotool search --name "$1" 2>/dev/null | head -n1 || true; }
presented() { wc -l <"$frame_log"; }
frame_seconds() { awk -v n="$1" '$2 == n { printf "%.1f", $4; exit }' "$frame_log"; }

# Ends the demo without a screenshot: the frames never came.
give_up() {
  say "$1; no screenshot taken."
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  exit 1
}

# Ends the capture when the demo ended before the frames the screenshot waits for.
ended_early() {
  local status
  wait "$pid"; status=$?
  say "The demo ended (exit status $status) after presenting $(presented) frames (see its messages above); no screenshot taken."
  rm -f "$frame_log"; trap - EXIT
  exit $(( status ? status : 1 ))
}

wid=""
start=$SECONDS
next_report=$((start + REPORT_SECONDS))
window_at=""
while :; do
  n=$(presented)
  [[ -z "$wid" ]] && wid=$(find_window "Vantor Engine|Nimbrel!") && [[ -n "$wid" ]] && window_at=$SECONDS
  (( n >= CAPTURE_FRAMES )) && [[ -n "$wid" ]] && break
  kill -0 "$pid" 2>/dev/null || ended_early
  waited=$((SECONDS - start))
  if (( waited >= TIMEOUT_SECONDS )); then
    [[ -z "$wid" ]] && (( n >= CAPTURE_FRAMES )) && give_up "Gave up after $waited s: no window titled 'Vantor Engine' or 'Nimbrel!' was found"
    give_up "Gave up after $waited s: the demo presented $n of the $CAPTURE_FRAMES frames the screenshot waits for (TIMEOUT_SECONDS=$TIMEOUT_SECONDS; a smaller window or sampling rate draws faster)"
  fi
  if (( SECONDS >= next_report )); then
    if [[ -z "$wid" ]]; then
      say "waiting for the demo's window (start-up): ${waited} s"
    elif (( n == 0 )); then
      say "waiting for the first frame to be presented: ${waited} s (window open for $((SECONDS - window_at)) s)"
    else
      say "waiting for frame $((n + 1)) of $CAPTURE_FRAMES to be presented: ${waited} s (frame 1 came after $(frame_seconds 1) s)"
    fi
    # Every REPORT_SECONDS for the first minute, then a third as often.
    next_report=$((SECONDS + (waited < 60 ? REPORT_SECONDS : 3 * REPORT_SECONDS)))
  fi
  sleep 0.5
done
# Wall and processor seconds of the first and the last awaited frame, for the user's idea of
# the frame time (the processor time does not depend on what else the machine is doing).
say "$(awk -v n="$CAPTURE_FRAMES" '
  $2 == 1 { t1 = $4; c1 = $6 } $2 == n { tn = $4; cn = $6 }
  END {
    printf "frame 1 presented %.1f s after the start (%.1f s of processor time)", t1, c1
    if (n > 1) printf "; frame %d after %.1f s: %.2f s per frame (%.2f s of processor time)",
                      n, tn, (tn - t1) / (n - 1), (cn - c1) / (n - 1)
  }' "$frame_log")"
(( WAIT_SECONDS > 0 )) && sleep "$WAIT_SECONDS"

mkdir -p "$(dirname "$SCREENSHOT")"
if ! import -window "$wid" "$SCREENSHOT.part.png"; then
  rm -f "$SCREENSHOT.part.png"
  give_up "Reading the window failed"
fi
mv -f "$SCREENSHOT.part.png" "$SCREENSHOT"
say "screenshot taken after $(presented) presented frames; sending Escape, which the demo sees after the frame it is drawing"
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" Escape 2>/dev/null || true
xdotool key Escape 2>/dev/null || true
# Escape is seen after the frame being drawn; give slow frames time, then stop waiting.
end_deadline=$((SECONDS + 600))
next_report=$((SECONDS + REPORT_SECONDS))
while kill -0 "$pid" 2>/dev/null && (( SECONDS < end_deadline )); do
  if (( SECONDS >= next_report )); then
    say "waiting for the demo to end after Escape: $((SECONDS - end_deadline + 600)) s"
    next_report=$((SECONDS + REPORT_SECONDS))
  fi
  sleep 0.5
done
if kill -0 "$pid" 2>/dev/null; then
  say "The demo did not end after Escape; stopping it."
  kill "$pid"
fi
wait "$pid"
status=$?
rm -f "$frame_log"
trap - EXIT
echo "Screenshot saved to $SCREENSHOT"
exit $status
