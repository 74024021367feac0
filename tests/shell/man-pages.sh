#!/bin/bash
# The manual pages format without a warning, and nota's page documents every command and
# option that `nota help` lists.
#
#   man-pages.sh NOTA MANDIR
set -u
nota=$1
mandir=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for page in "$mandir"/notarium.1 "$mandir"/notafix.1 "$mandir"/nota.1; do
    [ -f "$page" ] || { fail "missing $page"; continue; }
    warnings=$(groff -man -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done

text=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -P-cbou "$mandir/nota.1" 2>/dev/null)
for command in $("$nota" help | sed -n 's/^  \([a-z]*\) .*/\1/p'); do
    grep -q "^       $command\b" <<< "$text" || fail "nota.1 does not document '$command'"
    for option in $("$nota" help "$command" | grep -o -- '--[a-z]*' | sort -u); do
        grep -q -- "$option" <<< "$text" || fail "nota.1 lacks $option of '$command'"
    done
done
for section in "EXIT STATUS" FILES EXAMPLES "TEXT CONVERSION"; do
    grep -q "^$section" <<< "$text" || fail "nota.1 has no $section"
done

[ "$failures" = 0 ] && echo "manual pages as expected"
exit $((failures > 0))
