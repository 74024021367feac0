#!/bin/bash
# nota as a shell sees it: real pipes, exit statuses, the "nota: " prefix of every line on
# standard error, output to a full disk; notarium and notafix answer --help and --version
# with no display.
#
#   nota-in-pipes.sh NOTA [NOTARIUM NOTAFIX]
set -u
nota=$1
notarium=${2:-}
notafix=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_status() { # WANT DESCRIPTION COMMAND...
    local want=$1 what=$2
    shift 2
    "$@" > "$work/out" 2> "$work/err"
    local got=$?
    [ "$got" = "$want" ] || fail "$what: exit $got, expected $want ($(cat "$work/err"))"
}

db=$work/pipes.Nota
"$nota" new "$db" && "$nota" add "$db" Notarium/Memo || { echo "setup failed" >&2; exit 1; }

# Texts through pipes: what goes in comes out, and line tools see the user's lines.
printf 'a\nb\n' | "$nota" put "$db" Notarium/Memo
[ "$("$nota" cat "$db" Notarium/Memo | grep -c '^b$')" = 1 ] || fail "grep '^b\$' on cat"
[ "$("$nota" cat "$db" Notarium/Memo | wc -l)" = 2 ] || fail "wc -l on cat"
printf 'a\nb\n' | cmp -s - <("$nota" cat "$db" Notarium/Memo) || fail "put then cat changed LF text"
"$nota" cat --raw "$db" Notarium/Memo | cmp -s - <(printf 'a\r\nb\r\n') || fail "stored bytes"
printf 'x\r\ny\r\n' | "$nota" put "$db" Notarium/Memo
"$nota" cat "$db" Notarium/Memo | cmp -s - <(printf 'x\ny\n') || fail "CR LF input"
printf 'caf\xe9\r\n' | "$nota" put --raw "$db" Notarium/Memo
"$nota" cat "$db" Notarium/Memo | cmp -s - <(printf 'caf\xc3\xa9\n') || fail "Windows-1252 as UTF-8"
"$nota" cat --raw "$db" Notarium/Memo | cmp -s - <(printf 'caf\xe9\r\n') || fail "raw Windows-1252"
: | "$nota" put "$db" Notarium/Memo
[ -z "$("$nota" cat "$db" Notarium/Memo)" ] || fail "empty text"

# Every line on standard error names the program.
check_prefix() { # DESCRIPTION
    [ -s "$work/err" ] || { fail "$1: nothing on standard error"; return; }
    if grep -qv '^nota: ' "$work/err"; then fail "$1: a line without 'nota: ': $(cat "$work/err")"; fi
}
expect_status 1 "missing file" "$nota" tree "$work/none.Nota"; check_prefix "missing file"
expect_status 2 "unknown command" "$nota" frobnicate; check_prefix "unknown command"
expect_status 2 "unknown option" "$nota" cat "$db" Notarium/Memo --bogus; check_prefix "unknown option"
grep -q "'--bogus'" "$work/err" || fail "the unknown option is not named"
expect_status 2 "no command" "$nota"; check_prefix "no command"
expect_status 1 "no item" "$nota" cat "$db" Notarium/None; check_prefix "no item"
expect_status 2 "existing repair target" "$nota" repair "$db" "$db"; check_prefix "repair target"

# Help answers on standard output with status 0.
for words in "help" "--help" "help cat" "cat --help" "find -h" "--version"; do
    # shellcheck disable=SC2086
    expect_status 0 "nota $words" "$nota" $words
    [ -s "$work/out" ] && [ ! -s "$work/err" ] || fail "nota $words: not on standard output"
done

# Output that cannot be written is a failure.
if [ -w /dev/full ]; then
    printf 'text\n' | "$nota" put "$db" Notarium/Memo
    expect_status 1 "tree > /dev/full" sh -c '"$0" tree "$1" > /dev/full' "$nota" "$db"
    check_prefix "tree > /dev/full"
    expect_status 1 "cat > /dev/full" sh -c '"$0" cat "$1" Notarium/Memo > /dev/full' "$nota" "$db"
    expect_status 1 "help > /dev/full" sh -c '"$0" help > /dev/full' "$nota"
    expect_status 2 "find > /dev/full" sh -c '"$0" find "$1" text > /dev/full' "$nota" "$db"
    expect_status 1 "check > /dev/full" sh -c '"$0" check "$1" > /dev/full' "$nota" "$db"
fi

# The window programs answer without a display.
for program in "$notarium" "$notafix"; do
    [ -n "$program" ] || continue
    name=$(basename "$program")
    expect_status 0 "$name --help" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        "$program" --help
    grep -q '^Usage: ' "$work/out" || fail "$name --help: no usage"
    grep -q -- '--version' "$work/out" || fail "$name --help: no --version"
    expect_status 0 "$name --version" env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version
    grep -q "^$name [0-9]" "$work/out" || fail "$name --version: $(cat "$work/out")"
done

[ "$failures" = 0 ] && echo "all checks passed"
exit $((failures > 0))
