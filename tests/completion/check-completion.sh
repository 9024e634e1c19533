#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the bash completions of varlo-cli and varlo-panel on typed command
# lines and checks what they offer. bash-completion's own helpers are stood
# in for, so the check needs nothing installed.
#
#   check-completion.sh SOURCE_DIR
set -u
completions=$1/packaging/completions
failures=0

_init_completion()
{
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
    cur=${words[cword]}
    prev=${words[cword - 1]}
}
# Files: stands for the real helper, naming the extension it was asked for.
_filedir() { COMPREPLY=("<files${1:+ *.$1}>"); }
compopt() { :; }

# shellcheck source=/dev/null
source "$completions/varlo-cli" || exit 1
# shellcheck source=/dev/null
source "$completions/varlo-panel" || exit 1

# expect "FUNCTION" "WORDS..." "OFFERED": the last word is the one completed.
expect()
{
    local function=$1 line=$2 wanted=$3
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function"
    local got="${COMPREPLY[*]}"
    if [[ $got != "$wanted" ]]; then
        echo "'$line': offered '$got', expected '$wanted'"
        failures=$((failures + 1))
    fi
}

expect _varlo_cli "varlo-cli s" "send show set schedule"
expect _varlo_cli "varlo-cli send --port COM1" "COM1 COM10 COM11 COM12 COM13 COM14 COM15"
expect _varlo_cli "varlo-cli send --port /dev/tt" "<files>"
expect _varlo_cli "varlo-cli send --sl" "--slot"
expect _varlo_cli "varlo-cli send shop.vlo --slot " "A= B= C= D= E= F= G= H= I= J= K= L= M= N= O= P= Q= R= S= T="
expect _varlo_cli "varlo-cli show " "<files *.vlo>"
expect _varlo_cli "varlo-cli set shop.vlo " "A B C D E F G H I J K L M N O P Q R S T"
expect _varlo_cli "varlo-cli set --speed 2 shop.vlo C " ""
expect _varlo_cli "varlo-cli font --" "--port --dry-run --help"
expect _varlo_cli "varlo-cli schedule " "check publish --help"
expect _varlo_cli "varlo-cli schedule publish --" "--broker --panel --group --font --wait --tls-ca --credentials --help"
expect _varlo_cli "varlo-cli schedule check --" "--at --day --font --help"
expect _varlo_cli "varlo-cli schedule check " "<files>"
expect _varlo_panel "varlo-panel --com 1" "1 10 11 12 13 14 15"
expect _varlo_panel "varlo-panel --png " "<files *.png>"
expect _varlo_panel "varlo-panel --o" "--once"

if [[ $failures -ne 0 ]]; then
    echo "$failures completion(s) wrong"
    exit 1
fi
echo "every completion offers what it should"
