#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, GL on Mesa llvmpipe under Xvfb,
# and end-to-end runs of the real binary).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
# One virtual screen for the whole run; GL tests open hidden windows on it.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 600
