#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every relative link and picture of README.md and the guides in
# docs/ leads somewhere: the file (or folder) exists where the page sits, and
# a #part names a heading of the page it points into. A guide is read far
# from the heading it links to, so a renamed heading or a moved page would
# otherwise break its links unnoticed.
#
#   check-links.sh SOURCE_DIR
#
# Web addresses are not followed. A heading's #part is made as the common
# Markdown renderers make it: lower case, punctuation dropped, spaces as
# hyphens. Links inside code (fenced blocks, `spans`) are not links.
#
# Exits 0 when every link leads somewhere; else names each that does not.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 SOURCE_DIR" >&2
    exit 2
fi
source_dir=$(realpath -- "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export LC_ALL=C

# Prints PAGE:LINE:TARGET for each link of a page, code left out.
links() {
    awk '
        /^```/ { fenced = !fenced; next }
        fenced { next }
        {
            line = $0
            gsub(/`[^`]*`/, "", line)
            while (match(line, /\]\([^)]*\)/)) {
                print FILENAME ":" FNR ":" substr(line, RSTART + 2, RLENGTH - 3)
                line = substr(line, RSTART + RLENGTH)
            }
        }
    ' "$1"
}

# Prints the #part of every heading of a page, one a line.
anchors() {
    awk '
        /^```/ { fenced = !fenced; next }
        !fenced && /^#+ / { sub(/^#+ +/, ""); sub(/ +#* *$/, ""); print }
    ' "$1" |
        tr 'A-Z' 'a-z' |
        tr -d '!"#$%&'"'"'()*+,./:;<=>?@[\\]^`{|}~' |
        tr ' ' '-'
}

pages=$(ls "$source_dir"/README.md "$source_dir"/docs/*.md)
for page in $pages; do
    links "$page"
done >"$scratch/links"

if [ ! -s "$scratch/links" ]; then
    echo "README.md and the guides have no links at all: is $source_dir the source folder?" >&2
    exit 1
fi

broken=0
while IFS= read -r entry; do
    page=${entry%%:*}
    rest=${entry#*:}
    line=${rest%%:*}
    target=${rest#*:}
    # A title after the address is not part of it.
    target=${target%% *}
    case $target in
    http://* | https://* | mailto:*) continue ;;
    esac
    path=${target%%#*}
    part=""
    case $target in
    *'#'*) part=${target#*#} ;;
    esac
    if [ -z "$path" ]; then
        file=$page
    else
        file=$(dirname -- "$page")/$path
    fi
    where="${page#"$source_dir"/}:$line"
    if [ ! -e "$file" ]; then
        echo "$where: $target leads nowhere: there is no $path beside the page"
        broken=$((broken + 1))
    elif [ -n "$part" ] && { [ ! -f "$file" ] || ! anchors "$file" | grep -qxF -- "$part"; }; then
        echo "$where: $target leads nowhere: $(basename -- "$file") has no heading for #$part"
        broken=$((broken + 1))
    fi
done <"$scratch/links"

[ "$broken" -eq 0 ]
