#!/usr/bin/env bash
# Takes pictures of kxequation-desktop on the example project, in English and French, at 1280 x 800:
#   computed-LANG.png  the computed table with its bar chart in the data editor, the preview under the formula
#   error-LANG.png     a formula that cannot be read, underlined where it fails
#   range-error-fr.png a last row that cannot be read, marked in its own field and named under it
#   running-LANG.png   a launch of four million cells in progress, with its Cancel button
#   help-LANG.png      the formula's help window, searched
#   hover-LANG.png     the computed chart with the label of the value under the pointer
#   zoomed-LANG.png    the same chart zoomed three wheel notches about its first rows
#   bars-LANG.png      the example project's sales per product (text row headers) as grouped bars
#   question-LANG.png  the question asked when the window closes on a typed, unsaved formula, with
#                      Qt's own Save, Discard and Cancel buttons in the interface language
# Run by hand from the source tree once the project is built:
#   tests/screenshot.sh [OUTPUT_DIRECTORY] [more program options...]
# The default folder is build/screenshots. The program runs under a virtual X server (xvfb-run),
# so no display is needed, and with settings of its own in a temporary folder.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="${KXEQUATION_DESKTOP:-$here/build/apps/desktop/kxequation-desktop}"
folder="${1:-$here/build/screenshots}"
shift || true

if [ ! -x "$program" ]; then
    echo "screenshot.sh: $program is missing; build the project first (cmake --build build)" >&2
    exit 1
fi
[ -n "$(command -v xvfb-run)" ] || { echo "screenshot.sh: xvfb-run is missing (package xvfb)" >&2; exit 1; }
mkdir -p "$folder"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# picture NAME LANG OPTIONS...: one run of the program on the first quarter's sales.
picture() {
    local name="$1" lang="$2"
    shift 2
    local output="$folder/$name-$lang.png"
    rm -f "$output"
    xvfb-run --auto-servernum --server-args="-screen 0 1400x1000x24" \
        "$program" "$here/examples/shop" --dataset sales.q1 --last-col 1 \
        --size 1280x800 --lang "$lang" --settings "$scratch/settings-$name-$lang.ini" --screenshot "$output" "$@"
    if [ ! -s "$output" ]; then
        echo "screenshot.sh: no picture was written for $output" >&2
        exit 1
    fi
    echo "$output"
}

for lang in en fr; do
    # Revenue, cost and margin rate per product of the first quarter, the products as row headers:
    # grouped bars beside the table, the margin rate on a second axis. The margin rate is left without a value for products
    # that sold 100 units or fewer: greyed cells, and gaps in its line.
    picture computed "$lang" \
        --formula 'if(j=3;if(Input1(i,1)>100;(Input1(i,2)-Input1(i,3))/Input1(i,2)*100;NO_VALUE);Input1(i,1)*Input1(i,j+1))' \
        --last-col 3 --row-name 'rowName(Input1,i)' --col-name 'if(j<3;if(j=1;"Revenue";"Cost");"Margin %")' \
        --compute "$@"
    # The same chart asked with the pointer: a hover label, then a zoom about the first value.
    for action in hover zoom; do
        picture "$([ $action = zoom ] && echo zoomed || echo hover)" "$lang" \
            --formula 'if(j=3;if(Input1(i,1)>100;(Input1(i,2)-Input1(i,3))/Input1(i,2)*100;NO_VALUE);Input1(i,1)*Input1(i,j+1))' \
            --last-col 3 --row-name 'rowName(Input1,i)' --col-name 'if(j<3;if(j=1;"Revenue";"Cost");"Margin %")' \
            --compute --chart "$action" "$@"
    done
    # Units and price per product as they are: six products, six bars per column.
    picture bars "$lang" --formula 'Input1(i,j)' --last-col 2 --compute "$@"
    # A minus sign after an operator cannot be read: the page marks that minus.
    picture error "$lang" --formula "Input1(i, 1) * -Input1(i, 2)" --compute "$@"
    picture running "$lang" --formula "sum(k,1,50,sqrt(k*i*j))" --last-row 2000 --last-col 2000 --compute "$@"
    picture help "$lang" --formula "Input1(i,1)" --help-search "$([ "$lang" = fr ] && echo tableau || echo dataset)" "$@"
    picture question "$lang" --formula "Input1(i,1)*2" --close-question "$@"
done
# A near miss in "Lines to": the field is underlined, and the message under it names the field and
# what was probably meant.
picture range-error fr --formula "Input1(i,1)*2" --last-row "NR_Imput1" --compute "$@"
