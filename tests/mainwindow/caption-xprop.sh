#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The main window's title as an X server holds it (_NET_WM_NAME and WM_NAME)
# is the caption itself, with nothing appended, and the window keeps the
# program's class for the desktop. Skipped (exit 77) without Xvfb or xprop.
# Usage: caption-xprop.sh PROGRAM
program=$1
for tool in Xvfb xprop xwininfo; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool missing"; exit 77; }
done
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# -displayfd picks a free display number and writes it when the server is up.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
DISPLAY=:$(head -n1 "$work/display"); export DISPLAY

mkdir -p "$work/home"
HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    QT_QPA_PLATFORM=xcb "$program" >"$work/out" 2>&1 &
app_pid=$!

expected='Varlo V3.00                   [untitle.vlo]'
i=0
while [ $i -lt 600 ]; do
    id=$(xwininfo -root -tree 2>/dev/null | grep '"Varlo V3.00' | awk '{print $1}' | head -n1)
    if [ -n "$id" ]; then
        net=$(xprop -id "$id" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
        wm=$(xprop -id "$id" WM_NAME | sed -n 's/^WM_NAME([A-Z_]*) = "\(.*\)"$/\1/p')
        class=$(xprop -id "$id" WM_CLASS)
        [ "$net" = "$expected" ] || { echo "FAIL: _NET_WM_NAME is \"$net\""; exit 1; }
        [ "$wm" = "$expected" ] || { echo "FAIL: WM_NAME is \"$wm\""; exit 1; }
        case $class in
            *'"varlo"'*) ;;
            *) echo "FAIL: WM_CLASS is $class"; exit 1 ;;
        esac
        echo "title \"$net\", $class"
        exit 0
    fi
    kill -0 "$app_pid" 2>/dev/null || { echo "FAIL: the program ended"; cat "$work/out"; exit 1; }
    sleep 0.1
    i=$((i + 1))
done
echo "FAIL: no main window appeared"
exit 1
