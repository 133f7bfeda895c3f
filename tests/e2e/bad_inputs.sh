#!/usr/bin/env bash
# Bad input to the real binary: missing, truncated and corrupt files, broken shaders and bad
# command lines. Each row of the table below runs the demo once in its own temporary working
# directory holding a copy of resources/ (the real one is never touched) and states:
#   name | setup | arguments | mode | status | stream | expected text
# setup   a function below that damages the copy (or "none")
# mode    exit: the program must end by itself; run: it must reach its main loop, and it is then
#         ended with Escape
# status  the expected exit status
# stream  out or err: where the expected text (a substring) must appear
# Every row also requires: no signal (status < 128), no hang, no sanitizer report and no X
# protocol error (Xlib's report of one ends the process before the program can say anything).
set -uo pipefail
NIMBREL=$(realpath "$1")
source "$(dirname "$0")/common.bash"
ensure_display "$@"
REPO=$(pwd)

# Small enough that every row starts quickly; the tiny default dataset replaces entry 0.
SIZE="160 120 20 0"
EXIT_LIMIT=120   # seconds for a row that must end by itself
RUN_LIMIT=240    # seconds for a row to reach its main loop and end after Escape
DATASET0="resources/stagbeetle277x277x164.dat"
SKY="resources/textures"

ROWS=(
  "missing dataset        | no_dataset        | $SIZE        | exit | 1 | err | Cannot open the volume dataset file resources\\stagbeetle277x277x164.dat"
  "missing raw dataset    | none              | $SIZE 5      | exit | 1 | err | Cannot open the volume dataset file resources\\stent16.raw"
  "truncated samples      | truncated_samples | $SIZE        | run  | 0 | out | Reading finished"
  "truncated header       | truncated_header  | $SIZE        | exit | 1 | err | too few for its 6-byte size header"
  "absurd header size     | absurd_header     | $SIZE        | exit | 1 | err | more than the 32-bit buffer index allows"
  "empty header side      | empty_header      | $SIZE        | exit | 1 | err | has an empty side"
  "side above GL limit    | long_header       | $SIZE        | exit | 1 | err | exceeds the largest 3D texture"
  "missing shader         | no_shader         | $SIZE        | run  | 0 | out | Impossible to open resources\\shaders\\Skybox.vs. Are you in the right directory?"
  "shader compile error   | bad_shader        | $SIZE        | run  | 0 | out | <compileProgram compilation error with fragmentShader>:"
  "shader link error      | unlinkable_shader | $SIZE        | exit | 1 | err | Failed to link program:"
  "missing noise texture  | no_noise          | $SIZE        | run  | 0 | err | Failed to open resources\\textures\\noise4.jpg"
  "corrupt transfer image | corrupt_transfer  | $SIZE        | run  | 0 | err | Error: Texture loading failed for texture: resources\\textures\\transfer_function.png"
  "missing sky face       | no_sky_face       | $SIZE        | run  | 0 | out | resources\\textures\\negx.bmp could not be opened. Are you in the right directory?"
  "truncated sky face     | short_sky_face    | $SIZE        | run  | 0 | out | Not a correct BMP file"
  "absurd sky face size   | huge_sky_face     | $SIZE        | run  | 0 | out | has unsupported dimensions 1000000 x"
  "sky face short of data | hollow_sky_face   | $SIZE        | run  | 0 | out | holds 146 bytes of pixel data"
  "missing music          | no_music          | $SIZE        | run  | 0 | err | Could not load music file resources\\sounds\\Fallow Tide final.wav: cannot open file"
  "corrupt music          | corrupt_music     | $SIZE        | run  | 0 | err | not a RIFF/WAVE file"
  "truncated music        | short_music       | $SIZE        | run  | 0 | err | data chunk larger than the file"
  "dataset index 12       | none              | $SIZE 12     | run  | 0 | out | Dataset index 12 is outside 0 to 11; using 0"
  "dataset index -1       | none              | $SIZE -1     | run  | 0 | out | Dataset index -1 is outside 0 to 11; using 0"
  "dataset index text     | none              | $SIZE x      | run  | 0 | out | Dataset index \"x\" is not a number; using 0"
  "sampling rate text     | none              | $SIZE 0 fast | run  | 0 | out | Sampling rate \"fast\" is not a number; using 500"
  "sampling rate zero     | none              | $SIZE 0 0    | run  | 0 | out | Sampling rate 0 is not positive; using 500"
  "height text            | none              | 160 abc      | run  | 0 | out | Invalid argument: invalid stoi argument"
  "width out of range     | none              | 99999999999 120 | run | 0 | err | Out of Range error: stoi argument out of range"
  "negative window size   | none              | -160 -120 20 0 | exit | 1 | err | Window size -160 x -120 is not positive"
  "zero window size       | none              | 0 120 20 0   | exit | 1 | err | Window size 0 x 120 is not positive"
  # Larger than X and the render targets allow: refused before X sees it, like any failed start-up.
  "huge window size       | none              | 40000 30000 20 0 | exit | 1 | err | Window size 40000 x 30000 is larger than 16384 x 16384, the largest window the engine opens"
  "huge window check      | none              | 40000 30000 20 0 | exit | 1 | err | Assertion failed: error == 0, file src\\Game\\main, line 19"
  "window side too long   | none              | 20000 120 20 0 | exit | 1 | err | Window size 20000 x 120 is larger than 16384 x 16384"
  "no display             | no_display        | $SIZE        | exit | 1 | err | Failed to initialize GLFW"
)

# ---- setups: each runs in the row's working directory ----
write_volume() {  # path, width, height, depth, sample bytes to write (default: all)
  local path=$1 w=$2 h=$3 d=$4
  local bytes=${5:-$((w * h * d * 2))}
  {
    printf "\\x$(printf %02x $((w & 255)))\\x$(printf %02x $((w >> 8)))"
    printf "\\x$(printf %02x $((h & 255)))\\x$(printf %02x $((h >> 8)))"
    printf "\\x$(printf %02x $((d & 255)))\\x$(printf %02x $((d >> 8)))"
    # Samples 0x0707: a 12-bit value of 1799, density 56.
    head -c "$bytes" /dev/zero | tr '\0' '\007'
  } >"$path"
}
patch_bytes() {  # file, offset, bytes as \x.. escapes
  printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

setup_none() { :; }
setup_no_dataset() { rm -f "$DATASET0"; }
setup_truncated_samples() { write_volume "$DATASET0" 24 24 16 $((24 * 24 * 8 * 2 + 1)); }
setup_truncated_header() { printf '\x18\x00\x18' >"$DATASET0"; }
setup_absurd_header() { write_volume "$DATASET0" 65535 65535 65535 64; }
setup_empty_header() { write_volume "$DATASET0" 0 24 16; }
setup_long_header() { write_volume "$DATASET0" 65535 1 1; }
setup_no_shader() { rm -f resources/shaders/Skybox.vs; }
setup_bad_shader() { printf '#version 330 core\nthis is not a shader\n' >resources/shaders/Skybox.fs; }
setup_unlinkable_shader() {
  # Compiles on its own (a stage may lack main until it is linked), but cannot be linked.
  printf '#version 330 core\nout vec4 color;\nvoid notMain() { color = vec4(1.0); }\n' >resources/shaders/Skybox.fs
}
setup_no_noise() { rm -f resources/textures/noise4.jpg; }
setup_corrupt_transfer() { printf 'this is not a PNG file at all' >resources/textures/transfer_function.png; }
setup_no_sky_face() { rm -f "$SKY/negx.bmp"; }
setup_short_sky_face() { head -c 30 "$REPO/$SKY/posx.bmp" >"$SKY/posx.bmp"; }
setup_huge_sky_face() { patch_bytes "$SKY/posy.bmp" 18 '\x40\x42\x0f\x00'; }            # width 1000000
setup_hollow_sky_face() { head -c 200 "$REPO/$SKY/posz.bmp" >"$SKY/posz.bmp"; }        # 146 of 196608 pixel bytes
setup_no_music() { rm -f "resources/sounds/Fallow Tide final.wav"; }
setup_corrupt_music() { printf 'RIFX not a wave file' >"resources/sounds/Fallow Tide final.wav"; }
setup_short_music() { head -c 100 "$REPO/resources/sounds/Fallow Tide final.wav" >"resources/sounds/Fallow Tide final.wav"; }
setup_no_display() { :; }

[[ -d "$REPO/resources/shaders" && -f "$REPO/$SKY/posx.bmp" && -f "$REPO/resources/sounds/Fallow Tide final.wav" ]] \
  || fail "resources/ is incomplete: build first (the build generates textures, sky faces and music)"

sanitizer_report() {  # file: prints the first sanitizer line, if any
  grep -m1 -E 'AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:' "$1"
}

ROOT_TMP=$(mktemp -d)
APP_PID=""
trap '[[ -n "$APP_PID" ]] && kill "$APP_PID" 2>/dev/null; rm -rf "$ROOT_TMP"' EXIT

# Runs one row; prints one result line; returns non-zero on a mismatch.
run_row() {
  local name=$1 setup=$2 args=$3 mode=$4 want_status=$5 stream=$6 text=$7
  local dir="$ROOT_TMP/${name// /_}"
  mkdir -p "$dir/resources"
  cp -r "$REPO/resources/shaders" "$REPO/resources/textures" "$REPO/resources/sounds" "$dir/resources/"
  local out="$dir/stdout" err="$dir/stderr" status
  : >"$out"
  : >"$err"
  (
    cd "$dir" || exit 1
    write_volume "$DATASET0" 24 24 16
    "setup_$setup"
  ) || { echo "FAIL  $name: setup failed"; return 1; }

  local -a argv
  read -r -a argv <<<"$args"
  local limit=$EXIT_LIMIT
  [[ $mode == run ]] && limit=$RUN_LIMIT
  local -a envcmd=(env)
  [[ $setup == no_display ]] && envcmd=(env -u DISPLAY -u WAYLAND_DISPLAY)
  # Standard input is not a terminal, as in CI: nothing may wait for a key.
  (cd "$dir" && exec "${envcmd[@]}" timeout -k 5 "$limit" "$NIMBREL" "${argv[@]}") >"$out" 2>"$err" </dev/null &
  APP_PID=$!
  if [[ $mode == run ]]; then
    # The main loop has started once "VantorEngine run start" is out; Escape ends it after the
    # current frame. Sent again until the program has gone, in case a key press is lost.
    local deadline=$((SECONDS + limit)) wid=""
    while kill -0 "$APP_PID" 2>/dev/null && (( SECONDS < deadline )); do
      if grep -qxF "VantorEngine run start" "$out"; then
        wid=$(xdotool search --name "Vantor Engine|Nimbrel!" 2>/dev/null | head -n1 || true)
        if [[ -n "$wid" ]]; then
          xdotool windowfocus --sync "$wid" 2>/dev/null || true
          xdotool key --window "$wid" Escape 2>/dev/null || true
          xdotool key Escape 2>/dev/null || true
        fi
        sleep 1
      else
        sleep 0.3
      fi
    done
  fi
  wait "$APP_PID"
  status=$?
  APP_PID=""

  local problem=""
  if (( status == 124 || status == 137 )); then
    problem="hung (no exit within ${limit} s)"
  elif (( status >= 128 )); then
    problem="killed by signal $((status - 128))"
  elif report=$(sanitizer_report "$err"); then
    problem="sanitizer report: $report"
  elif grep -qF "X Error of failed request" "$err"; then
    problem="X protocol error: $(grep -m1 -A2 -F "X Error of failed request" "$err" | tr '\n' ' ')"
  elif [[ $mode == run ]] && ! grep -qxF "VantorEngine run start" "$out"; then
    problem="never reached the main loop"
  elif [[ $mode == exit ]] && grep -qxF "VantorEngine run start" "$out"; then
    problem="entered the main loop"
  elif (( status != want_status )); then
    problem="exit status $status, expected $want_status"
  else
    local file=$out
    [[ $stream == err ]] && file=$err
    grep -qF -- "$text" "$file" || problem="no '$text' on std$stream"
  fi
  if [[ -n $problem ]]; then
    echo "FAIL  $name: $problem"
    echo "      args: $args; last stdout lines:"; tail -n 5 "$out" | sed 's/^/        /'
    echo "      stderr:"; tail -n 8 "$err" | sed 's/^/        /'
    return 1
  fi
  printf 'ok    %-24s status %d  %s\n' "$name" "$status" "$text"
}

trim() { local s=$1; s=${s#"${s%%[![:space:]]*}"}; printf '%s' "${s%"${s##*[![:space:]]}"}"; }

failures=0
ran=0
for row in "${ROWS[@]}"; do
  IFS='|' read -r name setup args mode status stream text <<<"$row"
  # BAD_INPUT_ROWS (a regular expression) picks rows by name when debugging one case.
  [[ -n ${BAD_INPUT_ROWS:-} && ! $name =~ $BAD_INPUT_ROWS ]] && continue
  ran=$((ran + 1))
  run_row "$(trim "$name")" "$(trim "$setup")" "$(trim "$args")" "$(trim "$mode")" "$(trim "$status")" \
    "$(trim "$stream")" "$(trim "$text")" || failures=$((failures + 1))
done
echo "bad inputs: $((ran - failures)) of $ran rows as expected"
(( failures == 0 )) || fail "$failures rows differ"
