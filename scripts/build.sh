#!/usr/bin/env bash
# Configures and builds everything (engine, demo, tools, tests, benchmarks) into build/ and
# generates the run-time textures, sky faces and music under resources/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" ${CMAKE_EXTRA:-} >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
