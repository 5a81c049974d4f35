#!/usr/bin/env bash
# Installs the build into a fresh prefix, moves the whole tree elsewhere, and
# runs the installed vask there: it must find its effects and libraries
# relative to itself, its font through fontconfig, and no test effect.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
prefix="$work/moved"
vask="$prefix/bin/vask"
fail() { echo "install test: $*" >&2; exit 1; }

"$vask" --version | grep -qx "vask [0-9.]*" || fail "--version"
[ -e "$prefix/lib/vask/shapemesh.so" ] || fail "no effects in lib/vask"
if find "$prefix" -name 'host_test*' | grep -q .; then fail "a test effect was installed"; fi
ldd "$vask" | grep -q "$build" && fail "vask still loads libraries from the build folder"

examples="$prefix/share/doc/vask/examples"
[ -e "$prefix/share/doc/vask/docs/project-format.md" ] || fail "no format reference installed"
cd "$work"
"$vask" check "$examples/terrain.json" -q || fail "check of an installed example"
"$vask" render "$examples/terrain.json" --frames 0 --size 96x54 --out "$work/frames/t_####.png" -q \
  || fail "render of an installed example"
[ -s "$work/frames/t_0000.png" ] || fail "no frame rendered"
# The File Object's controls draw text: the font must be found.
"$vask" controls "$examples/file-object.json" --layer Model --out "$work/panel.png" >/dev/null \
  || fail "controls (text through fontconfig)"
echo "install test: installed tree runs from $prefix"
