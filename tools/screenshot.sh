#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Shows the main window on a virtual X display and saves a picture of it,
# docs/screenshot.png unless another path is given. With --preview it saves
# the Preview window instead, to docs/preview.png by default, and with
# --font-editor the Character Generator, to docs/font-editor.png.
#   tools/screenshot.sh [--preview | --font-editor] [OUTPUT.png]
# Needs xvfb and xauth (make screenshot installs them).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
option=
out=$here/docs/screenshot.png
if [ "${1:-}" = --preview ]; then
    option=--preview
    out=$here/docs/preview.png
    shift
elif [ "${1:-}" = --font-editor ]; then
    option=--font-editor
    out=$here/docs/font-editor.png
    shift
fi
out=${1:-$out}
bin=${VARLO_BUILD_DIR:-$here/build}/bin/varlo-screenshot
[ -x "$bin" ] || { echo "Build first: $bin is missing (make build)." >&2; exit 1; }

# The same fonts, font settings and style on every machine: the fonts the
# build installs, through a font configuration of the run's own (see
# tools/screenshot/fonts.conf); the program itself sets DejaVu Sans and
# Fusion for the run.
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT
FONTCONFIG_FILE=$here/tools/screenshot/fonts.conf XDG_CACHE_HOME=$cache \
QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum \
    --server-args="-screen 0 1024x768x24 -dpi 96" "$bin" $option "$out"
