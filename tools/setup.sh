#!/usr/bin/env bash
# Installs the Debian packages the build needs, once. Safe to run again: it
# only calls apt-get when something is missing. `tools/setup.sh fuzz` also
# installs what the fuzz targets need.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libpng-dev libdeflate-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core libvalijson-dev
)

# Extra groups on request: "fuzz" adds clang and its libFuzzer runtime.
for group in "$@"; do
  case "$group" in
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    *) echo "setup: unknown group $group" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
