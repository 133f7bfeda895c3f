#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need (as root), skipping
# what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libglfw3-dev libglew-dev libstb-dev libglm-dev libgl1-mesa-dri libgl-dev
  googletest libgtest-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick x11-utils
)
if [[ "${NIMBREL_FUZZ:-0}" == "1" ]]; then
  PACKAGES+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if (( ${#missing[@]} )); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
