#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The page's first command on a machine without a display: `make run` must
# say so at once and fail, before it installs, configures or builds
# anything. Stand-ins for the tools it would reach for record any call.
#
#   make-run-without-display.sh SOURCE_DIR
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 SOURCE_DIR" >&2
    exit 2
fi
source_dir=$(realpath -- "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mkdir "$scratch/bin"
for tool in apt-get sudo dpkg-query cmake ninja; do
    printf '#!/bin/sh\necho "%s $*" >>"%s"\nexit 1\n' "$tool" "$scratch/called" >"$scratch/bin/$tool"
    chmod +x "$scratch/bin/$tool"
done

status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u MAKEFLAGS -u MAKELEVEL \
    PATH="$scratch/bin:$PATH" \
    make --no-print-directory -C "$source_dir" run BUILD_DIR="$scratch/build" \
    >"$scratch/out" 2>&1 || status=$?
sed 's/^/   > /' "$scratch/out"

failed=0
if [ "$status" -eq 0 ]; then
    echo "FAIL: make run succeeded without a display"
    failed=1
fi
if ! grep -q 'no display' "$scratch/out" || ! grep -q 'ssh -X' "$scratch/out"; then
    echo "FAIL: make run did not say that there is no display and what to do"
    failed=1
fi
if [ -s "$scratch/called" ]; then
    echo "FAIL: make run went on without a display and called:"
    sed 's/^/   ! /' "$scratch/called"
    failed=1
fi
if [ -e "$scratch/build" ]; then
    echo "FAIL: make run made the build folder without a display"
    failed=1
fi
[ "$failed" -eq 0 ]
