#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the application icon's PNG sizes from its SVG drawings into
# packaging/icons/. The PNGs are committed, so building and packaging need
# no SVG renderer; run this again after changing any drawing and look at
# the results before committing them.
#
# 16 to 48 pixels come from their own pixel-aligned drawings (varlo-N.svg);
# 64 pixels and up are the scalable drawing (varlo.svg), whose LED pitch
# lands on whole pixels at those sizes.
set -eu
cd "$(dirname "$0")/../packaging/icons"
sh ../../tools/install-deps.sh librsvg2-bin

for size in 16 24 32 48; do
    rsvg-convert --width "$size" --height "$size" -o "varlo-$size.png" "varlo-$size.svg"
done
for size in 64 128 256; do
    rsvg-convert --width "$size" --height "$size" -o "varlo-$size.png" varlo.svg
done
ls -l varlo-*.png
