#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the commands README.md and the guides in docs/ show, so that the pages
# can't go stale.
#
#   readme-commands.sh README.md BUILD_DIR [GUIDE.md ...]
#
# Only the fenced blocks opened with ```sh runnable are run: each as a shell
# script of its own (stopping at the first failing command), page after page
# in the order given (README.md first), then every other docs/*.md beside
# README.md in the order of their names, each page's blocks in the order of
# the page, all in one scratch working directory, so a file one block writes
# is there for the blocks after it, also on a later page. A virtual panel
# (varlo-panel --com 3) takes their uploads. The ports folder is private to
# the run, and every COM number but 3 leads nowhere in it, so that AUTO finds
# the virtual panel and never touches a real serial port of this machine.
#
# In the working directory, build/ is the build folder, so build/bin/varlo-cli
# works as the pages write it before install. On each page, blocks after the
# heading "## Install" (the README has it) or after a line that starts with
# "<!-- installed:" (a guide puts it where it has said how the programs are
# called) may call the programs by their bare names, as an installed copy has
# them: build/bin is on their PATH. Before it, a bare name fails, even where
# this machine has the package installed. Inside a code block either line is
# only shown, not meant.
#
# Exits 0 when every block ran to its end and the panel saw no error.
set -eu

if [ $# -lt 2 ]; then
    echo "usage: $0 README.md BUILD_DIR [GUIDE.md ...]" >&2
    exit 2
fi
readme=$1
build=$(realpath -- "$2")
shift 2
set -- "$readme" "$@"
root=$(dirname -- "$(realpath -- "$readme")")
BLOCK_SECONDS=120
PANEL_COM=3

scratch=$(mktemp -d)
panel_pid=""
cleanup() {
    if [ -n "$panel_pid" ]; then
        kill "$panel_pid" 2>/dev/null || true
        wait "$panel_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

export XDG_CONFIG_HOME="$scratch/config" HOME="$scratch/home"
# A terminal's usual text encoding, so that a text such as 'Café' reaches the
# programs as it would from a reader's terminal.
export LC_ALL=C.UTF-8
ports=$XDG_CONFIG_HOME/varlo/ports
mkdir -p "$ports" "$HOME" "$scratch/blocks" "$scratch/work"
for number in $(seq 1 15); do
    [ "$number" -eq "$PANEL_COM" ] || ln -s "$scratch/no-such-device" "$ports/com$number"
done

# The pages in the order given, then the guides nobody put in that order, so
# that a new page is never left out.
pages=$scratch/pages
: >"$pages"
for page in "$@"; do
    if [ ! -f "$page" ]; then
        echo "$page: no such page" >&2
        exit 1
    fi
    realpath -- "$page" >>"$pages"
done
for page in "$root"/docs/*.md; do
    [ -f "$page" ] || continue
    page=$(realpath -- "$page")
    grep -qxF -- "$page" "$pages" || echo "$page" >>"$pages"
done

number=0
while read -r page; do
    number=$((number + 1))
    dir=$scratch/blocks/$(printf '%02d' "$number")
    mkdir -p "$dir"
    realpath --relative-to="$root" -- "$page" >"$dir/page"
    awk -v dir="$dir" -v page="$(cat "$dir/page")" '
        inside && /^```/ { inside = 0; close(file); next }
        inside { print > file; next }
        fenced && /^```/ { fenced = 0; next }
        fenced { next }
        /^```sh runnable[[:space:]]*$/ {
            count++
            file = sprintf("%s/%03d-line-%d%s.sh", dir, count, NR, installed ? "-installed" : "")
            inside = 1
            opened = NR
            next
        }
        /^```/ { fenced = 1; next }
        /^## Install[[:space:]]*$/ || /^<!-- installed:/ { installed = 1 }
        END { if (inside) { print page ": the block opened at line " opened " is never closed" > "/dev/stderr"; exit 1 } }
    ' "$page"
done <"$pages"
set -- "$scratch"/blocks/*/*.sh
if [ ! -f "$1" ]; then
    echo "no block is marked \`\`\`sh runnable in README.md or a guide" >&2
    exit 1
fi

"$build/bin/varlo-panel" --com "$PANEL_COM" --quiet >"$scratch/panel.out" 2>"$scratch/panel.err" &
panel_pid=$!
waited=0
until [ -L "$ports/com$PANEL_COM" ]; do
    if ! kill -0 "$panel_pid" 2>/dev/null || [ "$waited" -ge 300 ]; then
        echo "varlo-panel did not start:" >&2
        cat "$scratch/panel.err" >&2
        exit 1
    fi
    sleep 0.1
    waited=$((waited + 1))
done

# Stand-ins that refuse, for the bare names before the install.
mkdir "$scratch/not-installed"
for program in varlo varlo-cli varlo-panel varlo-agent; do
    printf '#!/bin/sh\necho "%s is not installed yet at this point of the page; write build/bin/%s" >&2\nexit 127\n' \
        "$program" "$program" >"$scratch/not-installed/$program"
    chmod +x "$scratch/not-installed/$program"
done

cd "$scratch/work"
ln -s "$build" build
failed=0
for block in "$@"; do
    line=$(basename "$block" .sh | sed 's/.*-line-//; s/-installed$//')
    page=$(cat "$(dirname "$block")/page")
    case $block in
    *-installed.sh) path=$build/bin:$PATH ;;
    *) path=$scratch/not-installed:$PATH ;;
    esac
    echo "== $page, the block after line $line"
    sed 's/^/   | /' "$block"
    if PATH=$path timeout "$BLOCK_SECONDS" sh -e "$block" >"$scratch/out" 2>&1; then
        sed 's/^/   > /' "$scratch/out"
    else
        status=$?
        sed 's/^/   > /' "$scratch/out"
        echo "FAIL: the block after $page line $line ended with status $status"
        failed=$((failed + 1))
    fi
done

kill "$panel_pid"
panel_status=0
wait "$panel_pid" || panel_status=$?
panel_pid=""
echo "== varlo-panel saw:"
sed 's/^/   > /' "$scratch/panel.out"
# Besides the line that names its port, varlo-panel writes to standard
# error only what went wrong in an upload.
grep -v "^varlo-panel: COM$PANEL_COM is " "$scratch/panel.err" >"$scratch/panel.problems" || true
if [ "$panel_status" -ne 0 ] || [ -s "$scratch/panel.problems" ]; then
    echo "FAIL: varlo-panel ended with status $panel_status and reported:"
    sed 's/^/   ! /' "$scratch/panel.problems"
    failed=$((failed + 1))
fi
[ "$failed" -eq 0 ]
