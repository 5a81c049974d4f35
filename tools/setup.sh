#!/usr/bin/env bash
# Installs the Debian packages the build needs, once. Safe to run again: it
# only calls apt-get when something is missing. `tools/setup.sh fuzz` also
# installs what the fuzz targets need; `tools/setup.sh browser` what the
# studio's browser tests need (Chromium, Node.js, and playwright-core from npm
# as tests/browser/package-lock.json pins it).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libpng-dev libdeflate-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core libvalijson-dev libcpp-httplib-dev
)
browser=false

# Extra groups on request: "fuzz" adds clang and its libFuzzer runtime.
for group in "$@"; do
  case "$group" in
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    browser)
      packages+=(chromium)
      browser=true
      # Node.js may come from elsewhere (with its own npm); Debian's only when
      # there is none.
      command -v node >/dev/null || packages+=(nodejs)
      command -v npm >/dev/null || packages+=(npm)
      ;;
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

if $browser; then
  here="$(cd "$(dirname "$0")/.." && pwd)/tests/browser"
  # npm ci again only when the lock file changed since the last install.
  if [ ! -f "$here/node_modules/.package-lock.json" ] || [ "$here/package-lock.json" -nt "$here/node_modules/.package-lock.json" ]; then
    echo "setup: installing the browser tests' npm packages"
    (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
