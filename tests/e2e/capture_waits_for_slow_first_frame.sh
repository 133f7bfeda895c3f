#!/usr/bin/env bash
# The headless capture (scripts/headless-capture.sh, behind run-demo.sh without a display)
# takes its screenshot only after frames were presented, however long the first one takes:
# - a run whose first frame is presented long after the capture's former fixed wait (30 s for
#   the statistics title, which frames of half a second or more never write, then 5 s) gives
#   the real frame: sky along the top, the volume in the centre, not black; the capture said
#   what it was waiting for while it waited, and the demo exits 0;
# - a demo that ends before its first frame, or never presents one within TIMEOUT_SECONDS,
#   ends the capture with a message, a failure status and no PNG (a stale one is removed).
# A real first frame that slow costs minutes of processor time on a software renderer, so a
# preloaded shim (swap_hold_shim.c) holds the demo's first swap for FIRST_FRAME seconds; until
# then the window shows nothing, as in a slow run, and the title is still the one the window
# opened with. The third swap is held 3 s as well: the engine moves the camera only in passes
# under half a second, so the second frame, after the long first pass, still has the camera's
# identity view, and a screenshot taken there would show no volume in the centre.
set -uo pipefail
NIMBREL=$1
source "$(dirname "$0")/common.bash"
ensure_display "$@"
ensure_dataset 0
HERE="$(cd "$(dirname "$0")" && pwd)"
CAPTURE="$HERE/../../scripts/headless-capture.sh"

WIDTH=240
HEIGHT=180
RATE=30
FIRST_FRAME=45

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the capture with a fresh stale file at the screenshot path; sets status and log.
capture() {  # binary, arguments...
  local bin=$1; shift
  echo stale >"$work/shot.png"
  NIMBREL_BIN="$bin" SCREENSHOT="$work/shot.png" REPORT_SECONDS=5 bash "$CAPTURE" "$@" \
    >"$work/log" 2>&1 </dev/null
  status=$?
}

# Demos that never present a frame: one that ends at once, one that hangs in start-up.
printf '#!/bin/sh\nexit 3\n' >"$work/ends_early"
printf '#!/bin/sh\necho $$ >"%s"\nexec sleep 600\n' "$work/never_presents.pid" >"$work/never_presents"
chmod +x "$work/ends_early" "$work/never_presents"
while IFS='|' read -r bin timeout want_status want_message; do
  TIMEOUT_SECONDS=$timeout capture "$work/$bin"
  [[ $status -eq $want_status ]] || fail "$bin: capture status $status, expected $want_status: $(cat "$work/log")"
  grep -qF -- "$want_message" "$work/log" || fail "$bin: no message '$want_message': $(cat "$work/log")"
  grep -qF "no screenshot taken" "$work/log" || fail "$bin: no 'no screenshot taken': $(cat "$work/log")"
  [[ ! -e "$work/shot.png" ]] || fail "$bin: a screenshot file is left at the screenshot path"
  if grep -qF "Screenshot saved" "$work/log"; then fail "$bin: claims a screenshot: $(cat "$work/log")"; fi
  if [[ -s "$work/$bin.pid" ]] && kill -0 "$(cat "$work/$bin.pid")" 2>/dev/null; then
    kill "$(cat "$work/$bin.pid")"; fail "$bin: the demo was left running"
  fi
done <<'EOF'
ends_early|60|3|The demo ended (exit status 3) after presenting 0 frames
never_presents|3|1|Gave up after 3 s: the demo presented 0 of the 2 frames
EOF

cc -shared -fPIC -O2 -Wall -o "$work/swap_hold_shim.so" "$HERE/swap_hold_shim.c" -ldl \
  || fail "could not build the shim"
started=$SECONDS
LD_PRELOAD="$work/swap_hold_shim.so${LD_PRELOAD:+:$LD_PRELOAD}" NIMBREL_SWAP_HOLDS="$FIRST_FRAME 0 3" \
  capture "$NIMBREL" "$WIDTH" "$HEIGHT" 60 0 0 "$RATE"
echo "capture of $WIDTH x $HEIGHT at rate $RATE, swaps held "$FIRST_FRAME 0 3" s, took $((SECONDS - started)) s:"
grep '^capture:' "$work/log"
[[ $status -eq 0 ]] || fail "capture status $status: $(tail -n 30 "$work/log")"
read -r w h < <(convert "$work/shot.png" -format "%w %h\n" info:) || fail "no PNG at the screenshot path"
[[ "$w $h" == "$WIDTH $HEIGHT" ]] || fail "screenshot is ${w}x${h}, expected ${WIDTH}x${HEIGHT}"
mean() {  # geometry, channel -> mean over that region, 0..1
  convert "$work/shot.png" -crop "$1" +repage -format "%[fx:mean.$2]" info:
}
# Border: the top band is sky, bright and blue ahead of the other channels.
top_r=$(mean "${WIDTH}x$((HEIGHT / 8))+0+0" r); top_g=$(mean "${WIDTH}x$((HEIGHT / 8))+0+0" g)
top_b=$(mean "${WIDTH}x$((HEIGHT / 8))+0+0" b)
awk -v r="$top_r" -v g="$top_g" -v b="$top_b" 'BEGIN { exit !(b > 0.3 && b > r + 0.03 && b > g) }' \
  || fail "top band is not sky (r $top_r g $top_g b $top_b)"
# Centre: the volume, lit and warm, so unlike the strip at the left edge at the same height.
cw=$((WIDTH / 4)); ch=$((HEIGHT / 8)); cx=$(((WIDTH - cw) / 2)); cy=$(((HEIGHT - ch) / 2))
strip="${cw}x${ch}+0+${cy}"
centre="${cw}x${ch}+${cx}+${cy}"
c_r=$(mean "$centre" r); c_g=$(mean "$centre" g); c_b=$(mean "$centre" b)
s_r=$(mean "$strip" r); s_g=$(mean "$strip" g); s_b=$(mean "$strip" b)
echo "top band r $top_r g $top_g b $top_b; centre r $c_r g $c_g b $c_b; left strip r $s_r g $s_g b $s_b"
awk -v r="$c_r" -v g="$c_g" -v b="$c_b" 'BEGIN { exit !((r + g + b) / 3 > 0.15) }' \
  || fail "the centre is black (r $c_r g $c_g b $c_b)"
# Colour distance from the strip, and warmth (red over blue) above the strip's.
awk -v r="$c_r" -v g="$c_g" -v b="$c_b" -v R="$s_r" -v G="$s_g" -v B="$s_b" '
  function abs(x) { return x < 0 ? -x : x }
  BEGIN { exit !(abs(r - R) + abs(g - G) + abs(b - B) > 0.1 && (r - b) > (R - B) + 0.05) }' \
  || fail "the centre looks like the background beside it (centre r $c_r g $c_g b $c_b; strip r $s_r g $s_g b $s_b)"
first=$(sed -n 's/^capture: frame 1 presented \([0-9.]*\) s after the start.*/\1/p' "$work/log")
awk -v t="$first" -v want="$FIRST_FRAME" 'BEGIN { exit !(t >= want) }' \
  || fail "the first frame came after '$first' s, not after $FIRST_FRAME s: the shim did not hold it"
grep -qxF "Screenshot saved to $work/shot.png" "$work/log" || fail "no 'Screenshot saved' line"
# While it waited it said for what, and for how long.
grep -qE '^capture: waiting for (the first frame|frame 2 of 2) to be presented: [0-9]+ s' "$work/log" \
  || fail "no progress lines while waiting: $(grep '^capture:' "$work/log")"
grep -qxF "VantorEngine deinit end" "$work/log" || fail "the demo did not shut down normally"

echo "capture waits for slow first frame ok"
