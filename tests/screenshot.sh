#!/usr/bin/env bash
# Takes a picture of kxequation-desktop on the example project after computing an example.
# Run by hand from the source tree once the project is built:
#   tests/screenshot.sh [OUTPUT.png] [--lang fr] [more program options...]
# The program runs under a virtual X server (xvfb-run), so no display is needed.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="${KXEQUATION_DESKTOP:-$here/build/apps/desktop/kxequation-desktop}"
output="${1:-$here/build/kxequation-desktop.png}"
shift || true

if [ ! -x "$program" ]; then
    echo "screenshot.sh: $program is missing; build the project first (cmake --build build)" >&2
    exit 1
fi
command -v xvfb-run >/dev/null || { echo "screenshot.sh: xvfb-run is missing (package xvfb)" >&2; exit 1; }

rm -f "$output"
# Units sold times unit price, per product of the first quarter, with the product names as row headers.
xvfb-run --auto-servernum --server-args="-screen 0 1400x1000x24" \
    "$program" "$here/examples/shop" \
    --dataset sales.q1 \
    --formula "Input1(i,1)*Input1(i,2)" --last-col 1 \
    --compute --size 1280x900 --screenshot "$output" "$@"

if [ ! -s "$output" ]; then
    echo "screenshot.sh: no picture was written" >&2
    exit 1
fi
echo "$output"
