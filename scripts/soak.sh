#!/usr/bin/env bash
# Soak run: the demo for SOAK_FRAMES frames (default 2000) in a small window (160 x 120,
# dataset 0, sampling rate 20) under Xvfb. A preloaded probe (scripts/soak-frame-probe.c)
# counts the frames the demo presents, samples its resident memory (VmRSS) every 100 frames
# and closes the window after the last frame, so the demo also shuts down normally.
# Prints the samples and the growth from frame SOAK_WARMUP (default 100) to the last frame;
# fails when it exceeds SOAK_LIMIT_KIB (default 1024 KiB), or the demo does not run to the end
# and exit 0.
#
#   NIMBREL_BIN   the demo binary (default build/nimbrel; a sanitizer build does not take the probe)
#   extra arguments replace the demo's command line (default: 160 120 60 0 0 20)
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
NIMBREL_BIN="${NIMBREL_BIN:-build/nimbrel}"
FRAMES="${SOAK_FRAMES:-2000}"
WARMUP="${SOAK_WARMUP:-100}"
LIMIT_KIB="${SOAK_LIMIT_KIB:-1024}"
ARGS=("$@")
(( ${#ARGS[@]} )) || ARGS=(160 120 60 0 0 20)
BIN_DIR=$(dirname "$NIMBREL_BIN")
[[ -x "$NIMBREL_BIN" ]] || { echo "no demo binary at $NIMBREL_BIN (build first)" >&2; exit 2; }

PROBE="$BIN_DIR/soak-frame-probe.so"
cc -shared -fPIC -O2 -Wall -o "$PROBE" scripts/soak-frame-probe.c -ldl
dataset=0
(( ${#ARGS[@]} >= 5 )) && dataset=${ARGS[4]}
"$BIN_DIR/generate_datasets" --index "$dataset" --if-missing >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "soak: ${FRAMES} frames of $NIMBREL_BIN ${ARGS[*]}"
status=0
LD_PRELOAD="$(realpath "$PROBE")" NIMBREL_SOAK_FRAMES="$FRAMES" NIMBREL_SOAK_EVERY=100 \
  NIMBREL_SOAK_LOG="$work/samples" timeout -k 10 1800 "$NIMBREL_BIN" "${ARGS[@]}" \
  >"$work/stdout" 2>"$work/stderr" </dev/null || status=$?

[[ -s "$work/samples" ]] || { echo "no frame was presented (status $status)" >&2; tail -n 20 "$work/stderr" >&2; exit 1; }
awk -v warm="$WARMUP" -v last="$FRAMES" -v limit="$LIMIT_KIB" -v status="$status" '
  { frame = $2; rss[frame] = $4; secs[frame] = $6; order[n++] = frame }
  END {
    printf "%8s %12s %10s %8s\n", "frame", "RSS (MiB)", "seconds", "fps"
    prevf = 0; prevs = 0
    for (i = 0; i < n; i++) {
      f = order[i]
      fps = (secs[f] > prevs) ? (f - prevf) / (secs[f] - prevs) : 0
      printf "%8d %12.2f %10.2f %8.1f\n", f, rss[f] / 1024, secs[f], fps
      prevf = f; prevs = secs[f]
    }
    final = order[n - 1]
    if (!(warm in rss)) { print "fewer than " warm " frames were presented"; exit 1 }
    growth = rss[final] - rss[warm]
    printf "frames presented: %d of %d; exit status %d\n", final, last, status
    printf "RSS at frame %d: %.2f MiB; at frame %d: %.2f MiB; growth %d KiB (limit %d KiB)\n",
           warm, rss[warm] / 1024, final, rss[final] / 1024, growth, limit
    printf "average over frames %d..%d: %.2f ms per frame, %.3f KiB per frame\n", warm, final,
           (secs[final] - secs[warm]) * 1000 / (final - warm), growth / (final - warm)
    # A one-off allocation shows as a step; a leak per frame keeps growing in the second half too.
    half = int(final / 200) * 100
    if (half > warm && (half in rss))
      printf "second half (frames %d..%d): growth %d KiB\n", half, final, rss[final] - rss[half]
    if (final < last) { print "FAIL: the demo ended before the last frame"; exit 1 }
    if (status != 0) { print "FAIL: exit status " status; exit 1 }
    if (growth > limit) { print "FAIL: resident memory grew by more than the limit"; exit 1 }
    print "soak ok"
  }' "$work/samples" || { echo "demo stderr:" >&2; tail -n 20 "$work/stderr" >&2; exit 1; }
