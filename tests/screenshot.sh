#!/usr/bin/env bash
# Takes pictures of kxequation-desktop on the example project after computing an example: the data
# editor shows the computed table with its chart beside it, once in English and once in French.
# Run by hand from the source tree once the project is built:
#   tests/screenshot.sh [OUTPUT.png] [more program options...]
# writes OUTPUT.png (English) and OUTPUT-fr.png (French). The program runs under a virtual X
# server (xvfb-run), so no display is needed, and with settings of its own in a temporary file.
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

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

for lang in en fr; do
    picture="$output"
    [ "$lang" = en ] || picture="${output%.png}-$lang.png"
    rm -f "$picture"
    # Revenue, cost and margin rate per product of the first quarter, the products as row headers:
    # a three-line chart beside the table. The margin rate is left without a value for products
    # that sold 100 units or fewer: greyed cells, and gaps in its line.
    xvfb-run --auto-servernum --server-args="-screen 0 1400x1000x24" \
        "$program" "$here/examples/shop" --lang "$lang" \
        --dataset sales.q1 \
        --formula 'if(j=3;if(Input1(i,1)>100;(Input1(i,2)-Input1(i,3))/Input1(i,2)*100;NO_VALUE);Input1(i,1)*Input1(i,j+1))' \
        --last-col 3 --row-name 'rowName(Input1,i)' --col-name 'if(j<3;if(j=1;"Revenue";"Cost");"Margin %")' \
        --compute --size 1280x900 --settings "$scratch/settings-$lang.ini" --screenshot "$picture" "$@"
    if [ ! -s "$picture" ]; then
        echo "screenshot.sh: no picture was written" >&2
        exit 1
    fi
    echo "$picture"
done
