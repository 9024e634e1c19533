#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Redraws the pictures of the fonts in docs/: the font sheets (both faces as
# LED dots in a 16 x 16 grid) and the proofs (each glyph beside its label
# set in DejaVu Sans, to read letter by letter), for the built-in font and
# the fonts in fonts/. Run it after changing a glyph file or
# tools/make-fonts.py, and look at the proofs. `make font-pictures` builds
# the tool and runs it.
#
#   tools/font-pictures.sh [BUILD_DIR]

set -eu

build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
sheet="$build/bin/varlo-fontsheet"
docs="$root/docs"
export QT_QPA_PLATFORM=offscreen

"$sheet" "$docs/font-sheet.png"
"$sheet" --proof --pitch 6 "$docs/proof-builtin.png"
for font in cyrillic greek; do
    # The box-drawing places are wider than the normal face's 5 columns on
    # purpose; the warning that says so is not news here.
    "$sheet" --pitch 5 "$root/fonts/$font.vlf" "$docs/font-sheet-$font.png" 2>/dev/null
    "$sheet" --proof --pitch 6 "$root/fonts/$font.vlf" "$docs/proof-$font.png" 2>/dev/null
done
