# Sourced by scripts/headless-capture.sh and tests/e2e/common.bash (not run on its own).
# frame_probe_preload BIN: builds the frame probe (scripts/capture-frame-probe.c) next to the
# demo binary BIN when it is missing or older than its source, and prints the LD_PRELOAD value
# that loads it into BIN; the caller points NIMBREL_FRAME_LOG at the file the probe appends to.
frame_probe_preload() {
  local bin=$1 source probe preload runtime
  source="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/capture-frame-probe.c"
  probe="$(cd "$(dirname "$bin")" && pwd)/capture-frame-probe.so"
  # Built under a temporary name so that two runs at once never load a half-written library.
  if [[ ! -f "$probe" || "$source" -nt "$probe" ]]; then
    cc -shared -fPIC -O2 -Wall -o "$probe.$$" "$source" -ldl && mv -f "$probe.$$" "$probe" \
      || { echo "could not build the frame probe $probe" >&2; return 1; }
  fi
  # A sanitizer runtime linked as a shared library (gcc's) refuses to start unless it is loaded
  # first; clang's, linked into the binary, takes the probe as it is. Entries already in
  # LD_PRELOAD (the sanitized test run preloads Mesa's driver) are kept.
  preload="$probe"
  runtime=$(ldd "$bin" 2>/dev/null | awk '/lib(clang_rt\.)?asan/ { print $3; exit }')
  [[ -n "$runtime" ]] && preload="$runtime:$preload"
  echo "$preload${LD_PRELOAD:+:$LD_PRELOAD}"
}
