#!/usr/bin/env bash
# The real demo starts, runs and shuts down in order, and exits 0 after Escape.
set -uo pipefail
NIMBREL=$1
source "$(dirname "$0")/common.bash"
ensure_display "$@"
ensure_dataset 0

out=$(mktemp); err=$(mktemp)
trap 'rm -f "$out" "$err"; kill "$APP_PID" 2>/dev/null' EXIT
"$NIMBREL" 320 240 60 0 >"$out" 2>"$err" &
APP_PID=$!
# The window appears once start-up is over; at the default sampling rate a frame on a software
# renderer may take longer than the half second after which the title is updated, so the test
# waits for the loop to start rather than for the statistics title.
wid=$(wait_for_window "Vantor Engine|Nimbrel!" 300) || fail "no window; stdout: $(cat "$out") stderr: $(cat "$err")"
for _ in $(seq 1 100); do grep -qxF "VantorEngine run start" "$out" && break; sleep 0.2; done
sleep 1
send_key "$wid" Escape
wait "$APP_PID"; status=$?
[[ $status -eq 0 ]] || fail "exit status $status; stderr: $(cat "$err")"

# The engine's lines appear in this order.
expected=("VantorEngine init start" "VantorEngine init end" "VantorEngine run start"
          "VantorEngine run end" "VantorEngine deinit start" "VantorEngine deinit end")
last=0
for line in "${expected[@]}"; do
  n=$(grep -nxF -- "$line" "$out" | head -n1 | cut -d: -f1)
  [[ -n "$n" ]] || fail "missing '$line'; stdout: $(cat "$out")"
  (( n > last )) || fail "'$line' out of order"
  last=$n
done
[[ "$(tail -n1 "$out")" == "VantorEngine deinit end" ]] || fail "output after deinit end"

# The demo's banner comes first in its start-up, directly after the engine's first line.
start=$(grep -nxF "VantorEngine init start" "$out" | head -n1 | cut -d: -f1)
banner=$(sed -n "$((start + 1)),$((start + 4))p" "$out")
expected_banner=$'Starting Nimbrel! demo\n_____________________________________________________________\nF2: Toggle frame time display\nF3: Toggle wireframe mode'
[[ "$banner" == "$expected_banner" ]] || fail "banner after 'VantorEngine init start' is: $banner"
echo "lifecycle ok"
