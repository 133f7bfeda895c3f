# Shared helpers for the end-to-end scripts (sourced, not a test itself).
# Usage in a script: source "$(dirname "$0")/common.bash"; then NIMBREL=$1.

fail() { echo "FAIL: $*" >&2; exit 1; }

# Re-runs the calling script under its own Xvfb when no display is set.
ensure_display() {
  if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
  fi
}

# Generates the catalogue entry $1 next to the binary's tools if it is missing.
ensure_dataset() {
  local tools_dir
  tools_dir=$(dirname "$NIMBREL")
  "$tools_dir/generate_datasets" --index "${1:-0}" --if-missing >/dev/null || fail "dataset generation failed"
}

# Waits up to $2 seconds for a window whose title matches $1; prints its id.
wait_for_window() {
  local pattern=$1 limit=${2:-120} id=""
  local deadline=$((SECONDS + limit))
  while (( SECONDS < deadline )); do
    id=$(xdotool search --name "$pattern" 2>/dev/null | head -n1 || true)
    if [[ -n "$id" ]]; then echo "$id"; return 0; fi
    kill -0 "$APP_PID" 2>/dev/null || return 1
    sleep 0.3
  done
  return 1
}

# Sends one key to the window through the XTEST extension, with the window focused.
send_key() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  xdotool key --clearmodifiers "$2"
}

expect_line() {  # file, exact line
  grep -qxF -- "$2" "$1" || fail "missing line '$2' in $(basename "$1"): $(cat "$1")"
}

# Prepares the frame probe for $NIMBREL (scripts/capture-frame-probe.c): PROBE_PRELOAD becomes
# the LD_PRELOAD value that loads it and FRAME_LOG the file $1, to which it adds one line per
# presented frame once the demo is started with NIMBREL_FRAME_LOG="$FRAME_LOG".
use_frame_probe() {
  source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/capture-frame-probe.bash"
  PROBE_PRELOAD=$(frame_probe_preload "$NIMBREL") || fail "could not build the frame probe"
  FRAME_LOG=$1
  : >"$FRAME_LOG"
}

# Waits up to $2 seconds until the demo (APP_PID) has presented $1 frames: the window then holds
# a drawn frame, however slow the renderer is.
wait_for_frames() {
  local deadline=$((SECONDS + ${2:-300}))
  while (( $(wc -l <"$FRAME_LOG") < $1 )); do
    kill -0 "$APP_PID" 2>/dev/null || return 1
    (( SECONDS < deadline )) || return 1
    sleep 0.3
  done
}
