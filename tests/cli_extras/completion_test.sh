#!/usr/bin/env bash
# Sources the bash completion of qelvor-cli and checks what it offers.
# Usage: completion_test.sh COMPLETION_FILE
set -u
source "$1" || exit 1
failures=0

# Completes the words given as a command line typed so far.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _qelvor_cli qelvor-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}

# expect WHAT EXPECTED: EXPECTED is the sorted offer, blank-separated.
expect() {
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort -u | tr '\n' ' ')
    if [[ "$got" != "$2 " ]]; then
        echo "FAIL $1: got '$got', expected '$2 '"
        failures=$((failures + 1))
    fi
}

complete -p qelvor-cli | grep -q -- '-F _qelvor_cli' || { echo "FAIL not registered"; exit 1; }

complete_words qelvor-cli --ser
expect "--ser" "--serial"
complete_words qelvor-cli --exit-
expect "--exit-" "--exit-after-message --exit-at-eof --exit-on-close"
complete_words qelvor-cli --serial /dev/pt
expect "--serial /dev/pt" "$(compgen -f -- /dev/pt | sort -u | tr '\n' ' ' | sed 's/ $//')"
[[ " ${COMPREPLY[*]} " == *" /dev/pts "* ]] || { echo "FAIL /dev/pts not offered"; failures=$((failures + 1)); }
complete_words qelvor-cli --hex --eol c
expect "--eol c" "cr crlf"
complete_words qelvor-cli --tcp-client ""
expect "--tcp-client" ""
complete_words qelvor-cli --tap tcp
expect "--tap tcp" "tcp-client: tcp-server:"
complete_words qelvor-cli --hl
expect "--hl" "--hl7 --hl7-sender"

# Device names under /dev come without the folder, the by-id links with it.
if [[ -e /dev/ttyS0 ]]; then
    complete_words qelvor-cli --serial ttyS
    [[ " ${COMPREPLY[*]} " == *" ttyS0 "* ]] || { echo "FAIL ttyS0 not offered"; failures=$((failures + 1)); }
fi

[[ $failures -eq 0 ]] && echo "completion: all checks passed"
exit $((failures > 0))
