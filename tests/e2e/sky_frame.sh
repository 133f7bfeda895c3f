#!/usr/bin/env bash
# The real demo's frame shows the sky all around: blue above the horizon, ground below it, and
# nowhere the green the frame is cleared to (the sky is drawn behind everything, at the far plane).
set -uo pipefail
NIMBREL=$1
source "$(dirname "$0")/common.bash"
ensure_display "$@"
ensure_dataset 0

out=$(mktemp); err=$(mktemp); shot=$(mktemp --suffix=.png); frames=$(mktemp)
trap 'rm -f "$out" "$err" "$shot" "$frames"; kill "$APP_PID" 2>/dev/null' EXIT
use_frame_probe "$frames"
LD_PRELOAD="$PROBE_PRELOAD" NIMBREL_FRAME_LOG="$FRAME_LOG" "$NIMBREL" 320 240 60 0 0 50 >"$out" 2>"$err" &
APP_PID=$!
wid=$(wait_for_window "Vantor Engine|Nimbrel!" 300) || fail "no window; stdout: $(cat "$out") stderr: $(cat "$err")"
# The screenshot waits for presented frames (counted by the probe), not for the title, which
# frames of half a second or more never update.
wait_for_frames 2 300 || fail "no 2 frames presented; stdout: $(cat "$out") stderr: $(cat "$err")"
import -window "$wid" "$shot" || fail "screenshot failed"
send_key "$wid" Escape
wait "$APP_PID"; status=$?
[[ $status -eq 0 ]] || fail "exit status $status; stderr: $(cat "$err")"

mean() {  # geometry, channel expression -> mean over that region, 0..1
  convert "$shot" -crop "$1" +repage -format "%[fx:mean.$2]" info:
}
# Share of pixels in the cleared colour (0.1, 0.5, 0.1).
cleared=$(convert "$shot" -fx "abs(r-0.102)<0.03 && abs(g-0.502)<0.03 && abs(b-0.102)<0.03" -format "%[fx:mean]" info:)
awk -v v="$cleared" 'BEGIN { exit !(v == 0) }' || fail "cleared background visible in $cleared of the frame"

# Above the horizon: blue sky with white clouds, so blue leads both other channels.
top_r=$(mean 320x40+0+0 r); top_g=$(mean 320x40+0+0 g); top_b=$(mean 320x40+0+0 b)
awk -v r="$top_r" -v g="$top_g" -v b="$top_b" 'BEGIN { exit !(b > r + 0.03 && b > g) }' ||
  fail "top band not sky (r $top_r g $top_g b $top_b)"
low_r=$(mean 320x30+0+210 r); low_g=$(mean 320x30+0+210 g)
awk -v r="$low_r" -v g="$low_g" 'BEGIN { exit !(g - r < 0.15 && g < 0.6) }' || fail "bottom band not ground (r $low_r g $low_g)"
echo "sky frame ok"
