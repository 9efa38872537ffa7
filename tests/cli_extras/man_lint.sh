#!/usr/bin/env bash
# Lints man pages with groff's warnings all on: any warning fails.
# Usage: man_lint.sh PAGE...
set -u
status=0
for page in "$@"; do
    warnings=$(groff -man -ww -z "$page" 2>&1)
    if [[ $? -ne 0 || -n $warnings ]]; then
        echo "FAIL $page:"
        echo "$warnings"
        status=1
    fi
done
[[ $status -eq 0 ]] && echo "man pages: no warnings"
exit $status
