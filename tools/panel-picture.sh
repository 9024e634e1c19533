#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Redraws docs/panel.png (varlo-panel's --png still) and prints a capture of
# varlo-panel's terminal display, as the README shows them. Runs a
# varlo-panel on COM3 of a temporary ports folder inside a detached tmux,
# sends one message set with varlo-cli and captures the pane once the first
# slot has scrolled in. Only this script needs tmux; the build and the tests
# do not.
#
#   tools/panel-picture.sh [BUILD_DIR]

set -eu

build=$(cd "${1:-build}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
picture="$root/docs/panel.png"
server=varlo-panel-picture

if ! command -v tmux >/dev/null 2>&1; then
    echo "$0: needs tmux (apt-get install tmux)" >&2
    exit 1
fi

config=$(mktemp -d)
trap 'tmux -L "$server" kill-server 2>/dev/null || true; rm -rf "$config"' EXIT INT TERM
export XDG_CONFIG_HOME="$config"

tmux -L "$server" new-session -d -x 82 -y 14 -e XDG_CONFIG_HOME="$config" \
    "'$build/bin/varlo-panel' --com 3 --png '$picture'"

tries=0
until [ -L "$config/varlo/ports/com3" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
        echo "$0: varlo-panel did not start" >&2
        exit 1
    fi
    sleep 0.1
done

"$build/bin/varlo-cli" send --port COM3 --speed 4 \
    -m '~BVarlo~A ~H ~Fsale~F' -m 'then slot B' -m 'stopped' --stop C
# At the fastest speed the text's first column reaches the left edge after
# 80 steps, 1.33 s.
sleep 1.3
tmux -L "$server" capture-pane -p
