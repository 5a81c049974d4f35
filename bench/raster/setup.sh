#!/usr/bin/env bash
# Installs what raster_bench needs to compare with Mesa's llvmpipe: the EGL
# and OpenGL headers and libraries and Mesa's software drivers. Safe to run
# again: it only calls apt-get when something is missing. Reconfigure the
# build afterwards (cmake --preset release).
set -euo pipefail

packages=(libegl-dev libgl-dev libopengl-dev libegl-mesa0 libgl1-mesa-dri)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "bench/raster: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
