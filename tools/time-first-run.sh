#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times a newcomer's first steps on a fresh clone of this checkout's HEAD,
# with the Debian packages already installed and no compiler cache:
#   1. `make run` until the main window is on the screen,
#   2. a second `make run`, nothing changed, until the window is on the screen,
#   3. `make test` to its last line, on a second fresh clone (skipped with
#      --no-test).
# The window is looked for on a virtual X display (needs xvfb and x11-utils).
# Prints one line per step; the clone is removed at the end.
#   tools/time-first-run.sh [--no-test]
set -eu

if [ -z "${TIME_FIRST_RUN_INSIDE:-}" ]; then
    export TIME_FIRST_RUN_INSIDE=1
    exec xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" "$0" "$@"
fi

source_dir=$(cd "$(dirname "$0")/.." && pwd)
clone=$(mktemp -d)
cleanup() { rm -rf "$clone"; }
trap cleanup EXIT
git clone --quiet "$source_dir" "$clone/varlo"
git clone --quiet "$source_dir" "$clone/varlo-test"
cd "$clone/varlo"
# The compiler cache would make a rebuilt clone look faster than a new one.
unset CCACHE_DIR CCACHE_BASEDIR CMAKE_CXX_COMPILER_LAUNCHER

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

# Runs `make run` in a process group of its own and waits for the window.
time_to_window() {
    local log=$1 start pid
    start=$(now)
    setsid make run >"$log" 2>&1 &
    pid=$!
    until xwininfo -root -tree 2>/dev/null | grep -q '"Varlo V3\.00 '; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "make run ended without a window:" >&2
            tail -20 "$log" >&2
            exit 1
        fi
        sleep 0.1
    done
    seconds "$start" "$(now)"
    kill -TERM -- "-$pid"
    wait "$pid" 2>/dev/null || true
}

echo "make run to the window, fresh clone: $(time_to_window "$clone/run1.log") s"
echo "make run to the window, again:       $(time_to_window "$clone/run2.log") s"
if [ "${1:-}" != --no-test ]; then
    cd "$clone/varlo-test"
    start=$(now)
    status=0
    make test >"$clone/test.log" 2>&1 || status=$?
    echo "make test to its last line:          $(seconds "$start" "$(now)") s, status $status ($(grep 'tests passed' "$clone/test.log"))"
fi
