#!/usr/bin/env bash
# Installs what is missing, builds, generates the chosen dataset if it is missing, and runs the
# demo with the given command line: [width height [refresh [fullscreen [dataset [rate]]]]].
# Without a display it runs under Xvfb through scripts/headless-capture.sh, which saves a
# screenshot once the demo has presented its first frames (however long they take), ends the
# demo with Escape and prints where the screenshot is. SCREENSHOT=path, WAIT_SECONDS=n (extra
# wait after the frames) and TIMEOUT_SECONDS=n (give up when the frames have not come) override.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
BUILD_DIR="${BUILD_DIR:-build}"

index="${5:-0}"
if [[ "$index" =~ ^[0-9]+$ ]] && (( index <= 11 )); then
  "$BUILD_DIR/generate_datasets" --index "$index" --if-missing
else
  "$BUILD_DIR/generate_datasets" --index 0 --if-missing
fi

if [[ -n "${DISPLAY:-}" && "${NIMBREL_HEADLESS:-0}" != "1" ]]; then
  exec "$BUILD_DIR/nimbrel" "$@"
fi

mkdir -p out
export SCREENSHOT="${SCREENSHOT:-$PWD/out/screenshot.png}"
export NIMBREL_BIN="$BUILD_DIR/nimbrel"
xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/headless-capture.sh "$@"
