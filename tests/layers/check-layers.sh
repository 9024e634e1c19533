#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The include rule of src/: a folder includes headers only from folders on a
# lower level, never from one on its own level or above, and names the
# folder of every header it includes. Lists every include that breaks it,
# and every folder that has no level yet, and fails then.
#
#   check-layers.sh SOURCE_DIR
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 SOURCE_DIR" >&2
    exit 2
fi
src=$1/src

# The levels, lowest first; docs/developers.md states the same order.
level() {
    case $1 in
        model) echo 0 ;;
        link | files) echo 1 ;;
        charset) echo 2 ;;
        display | virtualpanel | fleet | schedule) echo 3 ;;
        console | windowkit | supportpictures) echo 4 ;;
        slotrows | preview | charactergenerator | publishdialog | aboutandhelp) echo 5 ;;
        mainwindow) echo 6 ;;
        varlo | varlo-cli | varlo-panel | varlo-agent) echo 7 ;;
        *) echo none ;;
    esac
}

failures=0
for dir in "$src"/*/; do
    folder=$(basename "$dir")
    own=$(level "$folder")
    if [ "$own" = none ]; then
        echo "src/$folder: a folder without a level; give it one in $0 and in docs/developers.md"
        failures=$((failures + 1))
        continue
    fi
    # A header of the project is included by its folder, so that an
    # include says where the header lives and this check can see it.
    bare=$(grep -rnE --include='*.h' --include='*.cpp' \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+\.h"' "$dir" 2>/dev/null || true)
    if [ -n "$bare" ]; then
        echo "$bare" | sed "s|^$src/|src/|; s|\$|   (name the header's folder)|"
        failures=$((failures + $(echo "$bare" | wc -l)))
    fi
    # Every include of a header by its folder, as "file:line:folder/header".
    includes=$(find "$dir" -type f \( -name '*.h' -o -name '*.cpp' \) -exec \
        sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]\(\.\./\)*\([^">]*/[^">]*\)[">].*|\2|p; ' {} + \
        2>/dev/null | sort -u)
    for header in $includes; do
        target=${header%%/*}
        [ -d "$src/$target" ] || continue
        [ "$target" != "$folder" ] || continue
        theirs=$(level "$target")
        if [ "$theirs" = none ] || [ "$theirs" -ge "$own" ]; then
            grep -rn --include='*.h' --include='*.cpp' -F "$header" "$dir" | grep include |
                sed "s|^$src/|src/|; s|\$|   ($folder may not include $target)|"
            failures=$((failures + 1))
        fi
    done
done

if [ "$failures" -ne 0 ]; then
    echo "$failures fault(s) against the order model < link, files < charset < display, virtualpanel, fleet, schedule" \
         "< console, windowkit, supportpictures < slotrows, preview, charactergenerator, publishdialog, aboutandhelp" \
         "< mainwindow < varlo, varlo-cli, varlo-panel, varlo-agent"
    exit 1
fi
echo "every folder of src/ includes only from folders below it"
