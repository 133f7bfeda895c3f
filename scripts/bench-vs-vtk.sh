#!/usr/bin/env bash
# Times the demo's whole frame against VTK's GPU ray caster (vtkOpenGLGPUVolumeRayCastMapper) on
# the same generated dataset, window, view and sample spacing, in one run, and prints a table:
# window, rate, demo ms, VTK ms, demo/VTK. See bench/vtk_compare.py for what VTK is given.
#
#   bash scripts/bench-vs-vtk.sh          256x192 rate 50, 480x360 rate 250, 1024x768 rate 500
#   QUICK=1 bash scripts/bench-vs-vtk.sh  without 1024x768 rate 500 (minutes on a software renderer)
#
# FRAMES=N sets the timed frames per renderer and row (default 5, 3 for the largest); REPEAT=N
# lets the two renderers take turns N times per row and keeps the lowest median of each (on a
# shared machine, the run least disturbed by other work); PNG_DIR=dir (default out/bench-vs-vtk)
# receives both renderers' 480 x 360 frames. Installs python3-vtk9 and python3-numpy when
# missing (as root or with sudo), builds (scripts/build.sh, incremental), generates dataset 0
# when missing, and runs under Xvfb when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR="${BUILD_DIR:-build}"
PNG_DIR="${PNG_DIR:-out/bench-vs-vtk}"
# Debian's VTK bindings belong to the system interpreter, not to one found first on PATH.
PYTHON="${PYTHON:-/usr/bin/python3}"

missing=()
for p in python3-vtk9 python3-numpy; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if (( ${#missing[@]} )); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Always (incrementally) built, so the figures belong to the code in the working tree.
BUILD_DIR="$BUILD_DIR" bash scripts/build.sh
"$BUILD_DIR/generate_datasets" --index 0 --if-missing

args=(--build "$BUILD_DIR" --png-dir "$PNG_DIR" --verbose)
[[ "${QUICK:-0}" == "1" ]] && args+=(--quick)
[[ -n "${FRAMES:-}" ]] && args+=(--frames "$FRAMES")
[[ -n "${REPEAT:-}" ]] && args+=(--repeat "$REPEAT")

if [[ -n "${DISPLAY:-}" ]]; then
  "$PYTHON" bench/vtk_compare.py "${args[@]}"
else
  xvfb-run -a -s "-screen 0 1280x1024x24" "$PYTHON" bench/vtk_compare.py "${args[@]}"
fi
echo "Frames of both renderers at 480x360 in $PNG_DIR"
