#!/usr/bin/env bash
# The real demo draws the volume: a screenshot of the window shows transfer-function colours
# in the centre that differ from the background and are not uniform; F3, F8, 7 and 8 are
# accepted (F3 prints "wireframe mode on"), Escape ends the run with status 0 and the
# shut-down lines.
set -uo pipefail
NIMBREL=$1
source "$(dirname "$0")/common.bash"
ensure_display "$@"
ensure_dataset 0

WIDTH=320
HEIGHT=240
RATE=50

work=$(mktemp -d)
out="$work/stdout"; err="$work/stderr"; shot="$work/window.png"
trap 'kill "$APP_PID" 2>/dev/null; rm -rf "$work"' EXIT

"$NIMBREL" "$WIDTH" "$HEIGHT" 60 0 0 "$RATE" >"$out" 2>"$err" &
APP_PID=$!
# The title becomes the statistics line once a frame has been updated.
wid=$(wait_for_window "Nimbrel" 240) || fail "no frame shown; stdout: $(cat "$out") stderr: $(cat "$err")"

# Let a few more frames through, then the title carries the focus text of a drawn volume.
title=""
deadline=$((SECONDS + 120))
while (( SECONDS < deadline )); do
  title=$(xdotool getwindowname "$wid" 2>/dev/null || true)
  [[ "$title" == *" | focus slice z = "* ]] && break
  sleep 0.5
done
[[ "$title" =~ ^Nimbrel!\ \|\ FPS\ =\ .*\ \|\ Frametime\ =\ .*\ \|\ ms\ \|\ pos\(.*\)\ \|\ focus\ slice\ z\ =\ .+$ ]] \
  || fail "unexpected title '$title'"
sleep 2

xwd -silent -id "$wid" | convert xwd:- "$shot" 2>/dev/null || import -window "$wid" "$shot" \
  || fail "no screenshot"
[[ -n "${DEMO_SCREENSHOT:-}" ]] && cp "$shot" "$DEMO_SCREENSHOT"

# Pixel statistics of the window: a centre patch against the border, and colour spread.
read -r w h < <(convert "$shot" -format "%w %h" info:)
(( w >= WIDTH && h >= HEIGHT )) || fail "screenshot is ${w}x${h}"
# The centre patch (a quarter of the window each way) against the background at the left edge
# of the same rows: the sky and the ground change with the height only.
cx=$((w / 2)); cy=$((h / 2))
px=$((w / 4)); py=$((h / 4)); x0=$((cx - px / 2)); y0=$((cy - py / 2))
as_rows() { convert "$shot" -crop "$1" +repage -depth 8 txt:- | tail -n +2 \
  | sed -n 's/^\([0-9]*\),\([0-9]*\):[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p'; }
as_rows "${px}x${py}+${x0}+${y0}" >"$work/patch"
as_rows "1x${py}+2+${y0}" >"$work/edge"
stats=$(awk '
  FNR == NR { br[$2] = $3; bg[$2] = $4; bb[$2] = $5; next }
  {
    r = $3; g = $4; b = $5; n++
    d = (r > br[$2] ? r - br[$2] : br[$2] - r) + (g > bg[$2] ? g - bg[$2] : bg[$2] - g) \
      + (b > bb[$2] ? b - bb[$2] : bb[$2] - b)
    if (d > 24) {
      differ++
      # The transfer function is warm: red over green over blue, from orange tissue to ivory bone.
      if (r >= g - 4 && g >= b - 4 && r >= b + 6) warm++
    }
    sum += r + g + b; sumsq += (r + g + b) ^ 2
  }
  END {
    mean = sum / n; sd = sqrt(sumsq / n - mean * mean)
    printf "%d %d %d %.1f %.1f\n", n, differ, warm, mean, sd
  }' "$work/edge" "$work/patch")
read -r n differ warm mean sd <<<"$stats"
echo "centre patch: $n pixels, $differ differ from the background beside them, $warm of those warm;" \
     "brightness mean $mean, deviation $sd"
(( n > 0 )) || fail "empty centre patch"
(( differ * 4 > n )) || fail "the centre looks like the background: $stats"
(( warm * 2 > differ )) || fail "the centre colours are not the transfer function's: $stats"
awk -v sd="$sd" 'BEGIN { exit !(sd > 3.0) }' || fail "the centre is uniform: $stats"

for key in F3 F8 7 8; do
  send_key "$wid" "$key"
  sleep 0.5
done
deadline=$((SECONDS + 60))
until grep -qxF "wireframe mode on" "$out" || (( SECONDS >= deadline )); do sleep 0.5; done
expect_line "$out" "wireframe mode on"

send_key "$wid" Escape
wait "$APP_PID"; status=$?
[[ $status -eq 0 ]] || fail "exit status $status; stderr: $(cat "$err")"
for line in "VantorEngine run end" "VantorEngine deinit start" "VantorEngine deinit end"; do
  expect_line "$out" "$line"
done
# The volume and passthrough shaders compile and open (their paths appear only in error lines).
if grep -qF -e 'VolumeRendering.' -e 'PassthroughUV.' "$out" "$err"; then
  fail "volume shader problems: $(grep -hF -e 'VolumeRendering.' -e 'PassthroughUV.' "$out" "$err")"
fi
echo "demo volume ok"
