#!/usr/bin/env bash
# The demo: until the demo composition can be rendered, show the four effects
# as the host sees them (their property lists and parameter tables).
set -euo pipefail
bin="$1/bin"
"$bin/vask" info "$bin/meshfile.so" "$bin/shapemesh.so" "$bin/beamlamp.so" "$bin/glowlamp.so"
