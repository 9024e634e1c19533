#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package as a user would meet it.
#
#   tools/check-package.sh            build it with `make package`, then check
#   tools/check-package.sh FILE.deb   check a package built before
#
# It lists the package, then checks it with lintian (no error or warning
# may remain), the programs' hardening, the copyright file, the desktop
# entry, the file type, the icons, the AppStream metainfo (pedantic) and the
# manual pages. Then it
# unpacks the package into a scratch root and runs the programs from there
# as an ordinary user with a fresh home, the way an installed copy runs:
# /usr/bin can't be written, so the window program must put its support
# files into the per-user data folder.
#
# Exits 0 when every check passes, 1 when one fails, 2 on wrong usage.
set -u

# A package named on the command line is found from where the script was
# started; everything else from the top of the source tree.
[ $# -eq 1 ] && set -- "$(realpath -- "$1")"
cd "$(dirname "$0")/.."
PACKAGE_DIR=${PACKAGE_DIR:-build-package}
PROGRAMS="varlo varlo-cli varlo-panel varlo-agent"
# The name the desktop entry, icon, file type and metainfo are installed by.
APP_ID=io.varlo.varlo
ICON_SIZES="16 24 32 48 64 128 256"
SUPPORT_FILES="s1.dat s2.dat s3.dat s4.dat s5.dat s6r.dat s6g.dat"
# Where varlo(1) says the support files go for an installed copy, below HOME.
SUPPORT_DIR=.local/share/varlo
RUN_SECONDS=3

started=$(date +%s)
passed=0 failed=0 skipped=0
pass() { passed=$((passed + 1)); echo "PASS  $*"; }
fail() { failed=$((failed + 1)); echo "FAIL  $*"; }
skip() { skipped=$((skipped + 1)); echo "SKIP  $*"; }
indent() { sed 's/^/      /'; }

scratch=$(mktemp -d)
chmod 755 "$scratch"
check_user=""
cleanup() {
    [ -n "$check_user" ] && userdel "$check_user" 2>/dev/null
    chmod -R u+w "$scratch" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

case $# in
0)
    echo "== make package"
    if ! make --no-print-directory package >"$scratch/build.log" 2>&1; then
        tail -40 "$scratch/build.log"
        echo "check-package: make package failed" >&2
        exit 1
    fi
    deb=$(ls -t "$PACKAGE_DIR"/varlo_*.deb 2>/dev/null | head -1)
    ;;
1)
    deb=$1
    ;;
*)
    echo "usage: $0 [FILE.deb]" >&2
    exit 2
    ;;
esac
if [ -z "${deb:-}" ] || [ ! -f "$deb" ]; then
    echo "check-package: no package to check (${deb:-none built})" >&2
    exit 2
fi

echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Section Depends Recommends
echo "== contents"
dpkg-deb -c "$deb" | tee "$scratch/contents" | awk '$1 !~ /^d/ {print "  " $NF}'
has() { grep -q " \./$1\$" "$scratch/contents"; }

root=$scratch/root
dpkg-deb -x "$deb" "$root"

echo "== checks"

# Programs. One the build did not define yet is skipped with a note; one
# that was built but is not in the package fails.
built=$PACKAGE_DIR/packaging/programs.txt
for program in $PROGRAMS; do
    if has "usr/bin/$program"; then
        if [ -x "$root/usr/bin/$program" ]; then
            pass "program /usr/bin/$program"
        else
            fail "program /usr/bin/$program is not executable"
        fi
    elif [ -f "$built" ] && ! grep -qx "$program" "$built"; then
        skip "program $program: no such target in the build yet"
    else
        fail "program /usr/bin/$program missing from the package"
    fi
done

# Debian's own checks. Informational tags are listed but do not fail.
if ! command -v lintian >/dev/null; then
    skip "lintian not installed"
elif lintian --fail-on error,warning --display-info "$deb" >"$scratch/lintian.log" 2>&1; then
    pass "lintian: no errors or warnings"
    grep '^[A-Z]: ' "$scratch/lintian.log" | sed 's/^/      note: /'
else
    fail "lintian finds errors or warnings:"
    indent <"$scratch/lintian.log"
fi

# Hardening: the flags dpkg-buildflags gives (fortify, stack protector,
# RELRO, bind-now, PIE) must show in every program. Two results are judged
# here rather than by hardening-check alone:
# - control-flow protection is not asked for: Debian 12's C library start
#   files carry no CET marking, so the linker drops it from every program
#   built on Debian 12 (hardening-check misses it in /usr/bin/ls too);
# - a program may have no fortified call at all when each call to a
#   fortifiable function is one that needs or allows no check: the serial
#   port's one-byte read() and one-entry poll(), the pseudo-terminal line's
#   read() into its own buffer, varlo-panel's readlink() into a buffer of
#   known size, and copies whose length is unknown even at run time.
#   hardening-check then reports "only unprotected functions found"
#   (lintian: hardening-no-fortify-functions, informational); that passes
#   only when the unprotected functions are all of those.
FORTIFY_UNCHECKED_ALLOWED="read poll readlink memcpy memmove memset"
hardening_ok() { # FILE: the report in $scratch/hardening.log
    hardening-check --verbose --nocfprotection "$1" >"$scratch/hardening.log" 2>&1 && return 0
    # Any failure but the fortify line fails.
    grep -v -e '^/' -e ': yes' -e ': unknown' -e '(ignored)$' -e '^[[:space:]]*unprotected: ' \
        -e 'Fortify Source functions: no, only unprotected functions found!' \
        "$scratch/hardening.log" | grep -q . && return 1
    local name
    for name in $(sed -n 's/^[[:space:]]*unprotected: //p' "$scratch/hardening.log"); do
        case " $FORTIFY_UNCHECKED_ALLOWED " in *" $name "*) ;; *) return 1 ;; esac
    done
    fortify_note="no fortified call; unchecked: $(sed -n 's/^[[:space:]]*unprotected: //p' "$scratch/hardening.log" | tr '\n' ' ')"
}
# The window program loads File > Publish… from a module of its own, in
# the package's private library folder.
module=$(grep -o 'usr/lib/[^ ]*/varlo/publish\.so$' "$scratch/contents" | head -1)
if [ -n "$module" ]; then
    # The program looks for it relative to its own folder, /usr/bin.
    if grep -q -a -F "../${module#usr/}" "$root/usr/bin/varlo"; then
        pass "the Publish window's module /$module, where varlo looks for it"
    else
        fail "varlo looks for its Publish module elsewhere than /$module"
    fi
elif has usr/bin/varlo; then
    fail "the Publish window's module (usr/lib/*/varlo/publish.so) missing from the package"
fi

binaries=""
for program in $PROGRAMS; do
    [ -x "$root/usr/bin/$program" ] && binaries="$binaries usr/bin/$program"
done
[ -n "$module" ] && binaries="$binaries $module"
for binary in $binaries; do
    fortify_note=""
    if ! command -v hardening-check >/dev/null; then
        skip "hardening of /$binary: hardening-check not installed (devscripts)"
    elif hardening_ok "$root/$binary"; then
        pass "hardening-check /$binary${fortify_note:+ ($fortify_note)}"
    else
        fail "hardening-check /$binary:"
        indent <"$scratch/hardening.log"
    fi
    # Stripped as Debian strips: no symbol table, no debugging information,
    # no .comment naming the compiler.
    extra=$(readelf -S -W "$root/$binary" | grep -o -E '\.(comment|symtab|debug_[a-z]+)' | sort -u)
    if [ -z "$extra" ]; then
        pass "/$binary is stripped"
    else
        fail "/$binary keeps" $extra
    fi
done

# The copyright file in Debian's machine-readable format: every licence a
# Files paragraph names has its text in a paragraph of its own.
copyright=usr/share/doc/varlo/copyright
if ! has "$copyright"; then
    fail "copyright file /$copyright missing"
elif ! head -1 "$root/$copyright" |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/'; then
    fail "copyright file /$copyright is not in the machine-readable format"
else
    unexplained=$(awk '
        /^Files:/ { in_files = 1 }
        /^$/ { in_files = 0 }
        /^License:/ { if (in_files) used[$2] = 1; else if (!/^License: *$/) text[$2] = 1 }
        END { for (name in used) if (!(name in text)) printf " %s", name }' "$root/$copyright")
    if [ -z "$unexplained" ]; then
        pass "copyright file /$copyright"
    else
        fail "copyright file /$copyright has no text for the licence(s):$unexplained"
    fi
fi

# Desktop entry, and the program its Exec line starts.
desktop=usr/share/applications/$APP_ID.desktop
if ! has "$desktop"; then
    fail "desktop entry /$desktop missing"
elif out=$(desktop-file-validate "$root/$desktop" 2>&1) && [ -z "$out" ]; then
    pass "desktop entry /$desktop validates"
else
    fail "desktop entry /$desktop does not validate:"
    echo "$out" | indent
fi
exec_line=$(sed -n 's/^Exec=//p' "$root/$desktop" 2>/dev/null | head -1)
exec_program=${exec_line%% *}
if [ -z "$exec_program" ]; then
    fail "desktop entry has no Exec line"
elif has "usr/bin/$exec_program"; then
    pass "desktop entry starts /usr/bin/$exec_program, which the package holds"
else
    skip "desktop entry starts $exec_program, not in the package yet"
fi

# File type, and the desktop entry that opens it: a double-clicked .vlo
# file reaches varlo as its file argument.
mime=usr/share/mime/packages/$APP_ID.xml
if grep -qx 'MimeType=\(.*;\)\?application/x-varlo-messages;.*' "$root/$desktop" 2>/dev/null &&
    [[ $exec_line == *%[fF]* ]]; then
    pass "desktop entry opens application/x-varlo-messages files (Exec=$exec_line)"
else
    fail "desktop entry does not open application/x-varlo-messages files (Exec=$exec_line)"
fi
if ! has "$mime"; then
    fail "file type /$mime missing"
elif command -v update-mime-database >/dev/null; then
    mkdir -p "$scratch/mime/packages"
    cp "$root/$mime" "$scratch/mime/packages/"
    if update-mime-database "$scratch/mime" >"$scratch/mime.log" 2>&1 &&
        grep -qx 'application/x-varlo-messages:\*\.vlo' "$scratch/mime/globs"; then
        pass "file type /$mime maps *.vlo to application/x-varlo-messages"
    else
        fail "file type /$mime is not understood:"
        indent <"$scratch/mime.log"
    fi
else
    skip "file type: update-mime-database not installed (shared-mime-info)"
fi

# Icons at the hicolor paths; each PNG must be the size its folder says.
icon_dir=usr/share/icons/hicolor
if has "$icon_dir/scalable/apps/$APP_ID.svg"; then
    pass "icon /$icon_dir/scalable/apps/$APP_ID.svg"
else
    fail "icon /$icon_dir/scalable/apps/$APP_ID.svg missing"
fi
if grep -qx "Icon=$APP_ID" "$root/$desktop" 2>/dev/null &&
    grep -q "<icon name=\"$APP_ID\"/>" "$root/$mime" 2>/dev/null; then
    pass "desktop entry and file type show the icon $APP_ID"
else
    fail "desktop entry or file type does not show the icon $APP_ID"
fi
png_size() { # width x height from the PNG header
    od -An -tu1 -j16 -N8 "$1" |
        awk '{printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8}'
}
for size in $ICON_SIZES; do
    png=$icon_dir/${size}x${size}/apps/$APP_ID.png
    if ! has "$png"; then
        fail "icon /$png missing"
    elif [ "$(png_size "$root/$png")" = "${size}x${size}" ]; then
        pass "icon /$png"
    else
        fail "icon /$png is $(png_size "$root/$png") pixels"
    fi
done

# AppStream metainfo, under the pedantic eye: not one remark may remain.
metainfo=usr/share/metainfo/$APP_ID.metainfo.xml
if ! has "$metainfo"; then
    fail "metainfo /$metainfo missing"
elif ! command -v appstreamcli >/dev/null; then
    skip "metainfo: appstreamcli not installed (appstream)"
elif appstreamcli validate --pedantic --no-net "$root/$metainfo" >"$scratch/as.log" 2>&1 &&
    ! grep -q '^[EWIP]: ' "$scratch/as.log"; then
    pass "metainfo /$metainfo validates, pedantic"
    grep -q '<screenshot' "$root/$metainfo" ||
        echo "      note: no screenshot; build with make package SCREENSHOT_URL=https://..."
else
    fail "metainfo /$metainfo does not validate cleanly:"
    indent <"$scratch/as.log"
fi
if grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$root/$metainfo" 2>/dev/null; then
    pass "metainfo launches $APP_ID.desktop"
else
    fail "metainfo does not launch $APP_ID.desktop"
fi

# Manual pages: present, and rendered by man without a single warning.
for program in $PROGRAMS; do
    page=usr/share/man/man1/$program.1.gz
    if ! has "$page"; then
        fail "manual page /$page missing"
    elif out=$(MANWIDTH=80 man --warnings -l "$root/$page" 2>&1 >/dev/null) &&
        [ -z "$out" ]; then
        pass "manual page $program(1) renders without warnings"
    else
        fail "manual page $program(1) warns:"
        echo "$out" | indent
    fi
done

# The agent's service: the unit, and the system user its maintainer script
# makes for it.
unit=lib/systemd/system/varlo-agent@.service
if ! [ -x "$root/usr/bin/varlo-agent" ]; then
    skip "varlo-agent service: no varlo-agent in the package yet"
elif ! has "$unit"; then
    fail "service unit /$unit missing"
elif ! grep -qx 'User=varlo' "$root/$unit" || ! grep -qx 'SupplementaryGroups=dialout' "$root/$unit"; then
    fail "service unit /$unit does not run as varlo in dialout"
else
    pass "service unit /$unit runs as varlo in dialout"
    mkdir -p "$scratch/control"
    dpkg-deb -e "$deb" "$scratch/control"
    if grep -q 'adduser --system' "$scratch/control/postinst" 2>/dev/null &&
        sh -n "$scratch/control/postinst" && sh -n "$scratch/control/postrm"; then
        pass "maintainer scripts make the system user varlo"
    else
        fail "maintainer scripts do not make the system user varlo"
    fi
fi

# The broker templates the guide tells operators to copy, and nothing in
# /etc: the package leaves the broker's configuration to its operator.
broker_templates="usr/share/varlo/mosquitto/varlo.conf usr/share/varlo/mosquitto/varlo.acl"
missing=""
for template in $broker_templates; do
    has "$template" || missing="$missing /$template"
done
if [ -n "$missing" ]; then
    fail "broker templates missing:$missing"
elif grep -q ' \./etc/' "$scratch/contents"; then
    fail "the package ships files into /etc:"
    grep ' \./etc/' "$scratch/contents" | indent
else
    pass "broker templates in /usr/share/varlo/mosquitto, nothing in /etc"
fi

# Installed behaviour. The scratch root stands in for /usr: nobody may
# write into it, and the programs run as an ordinary user.
chmod -R a-w "$root/usr"
home=$scratch/home
runtime=$scratch/runtime
mkdir -p "$home" "$runtime"
chmod 700 "$runtime"
as_user() {
    if [ -n "$check_user" ]; then
        setpriv --reuid="$check_user" --regid="$check_user" --init-groups -- "$@"
    else
        "$@"
    fi
}
if [ "$(id -u)" -eq 0 ]; then
    check_user=varlo-check-$$
    if useradd --system --no-create-home --home-dir "$home" \
        --shell /usr/sbin/nologin --user-group "$check_user"; then
        chown "$check_user:" "$home" "$runtime"
    else
        check_user=""
        fail "could not create a throwaway user to run the programs as"
    fi
fi
run_env=(env -i "HOME=$home" "PATH=$root/usr/bin:/usr/bin:/bin"
    "XDG_RUNTIME_DIR=$runtime" QT_QPA_PLATFORM=offscreen LANG=C.UTF-8)

for program in $PROGRAMS; do
    [ -x "$root/usr/bin/$program" ] || continue
    if as_user "${run_env[@]}" timeout 10 "$program" --help >"$scratch/help" 2>&1; then
        pass "installed $program --help runs as $(as_user id -un)"
    else
        fail "installed $program --help failed:"
        indent <"$scratch/help"
    fi
done

if [ -x "$root/usr/bin/varlo-cli" ]; then
    # A whole upload without a port: every frame as a line of hex pairs.
    if as_user "${run_env[@]}" timeout 10 varlo-cli send -m 'HI~H' --dry-run \
        >"$scratch/frames" 2>&1 &&
        grep -qE '^[0-9A-F]{2}( [0-9A-F]{2})+$' "$scratch/frames"; then
        pass "installed varlo-cli send --dry-run prints $(wc -l <"$scratch/frames") frames"
    else
        fail "installed varlo-cli send --dry-run failed:"
        indent <"$scratch/frames"
    fi
fi

if [ -x "$root/usr/bin/varlo" ] && [ "$exec_program" = varlo ]; then
    # Start it the way the desktop entry does, without a file to open.
    read -r -a command <<<"${exec_line//%[fFuU]/}"
    as_user "${run_env[@]}" timeout "$RUN_SECONDS" "${command[@]}" \
        >"$scratch/varlo.log" 2>&1
    status=$?
    if [ "$status" -eq 124 ]; then
        pass "installed varlo started from its desktop entry and ran ${RUN_SECONDS} s"
    else
        fail "installed varlo ended after less than ${RUN_SECONDS} s with status $status:"
        indent <"$scratch/varlo.log"
    fi
    found=$(find "$home" -name s1.dat -printf '%h\n' 2>/dev/null | head -1)
    missing=""
    for file in $SUPPORT_FILES; do
        [ -f "$home/$SUPPORT_DIR/$file" ] || missing="$missing $file"
    done
    if [ -z "$missing" ]; then
        pass "support files written to ~/$SUPPORT_DIR"
    elif [ -n "$found" ]; then
        fail "support files went to ${found#"$home"/}, not ~/$SUPPORT_DIR as varlo(1) says"
    else
        fail "support files missing from ~/$SUPPORT_DIR:$missing"
    fi
    beside=$(ls "$root/usr/bin" | grep -v -x -E 'varlo|varlo-cli|varlo-panel|varlo-agent')
    if [ -z "$beside" ]; then
        pass "nothing written beside the installed programs"
    else
        fail "files appeared in /usr/bin:" $beside
    fi
else
    skip "installed behaviour of varlo: not in the package yet"
fi

echo "== done in $(($(date +%s) - started)) s"
echo "package-check: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
