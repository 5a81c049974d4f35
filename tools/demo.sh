#!/usr/bin/env bash
# The demo: renders the built-in composition (examples/demo/demo.json: an
# animated relief under a moving spot light and a point light, seen by a
# swinging camera) to out/demo/, then tiles every sixth frame into
# out/demo/contact_sheet.png.
set -euo pipefail
bin="$1/bin"
out="out/demo"
threads=$(nproc 2>/dev/null || echo 1)
"$bin/vask" render examples/demo/demo.json --out "$out" --threads "$threads"
frames=()
for f in $(seq 0 6 47); do frames+=("$(printf '%s/frame_%04d.png' "$out" "$f")"); done
"$bin/vask_contact_sheet" "$out/contact_sheet.png" 4 3 "${frames[@]}"
echo "demo: 48 frames in $out/, contact sheet $out/contact_sheet.png"
