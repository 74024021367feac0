#!/bin/bash
# The bash completion of nota, called as bash calls it, on a real database: commands,
# options, .Nota files and item paths read from the file on the line.
#
#   nota-completion.sh NOTA COMPLETION-SCRIPT
set -u
nota=$(realpath "$1")
# shellcheck source=/dev/null
source "$2"
_nota_program=$nota
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

"$nota" new notes.Nota >/dev/null
"$nota" add notes.Nota Notarium/Recipes --folder
"$nota" add notes.Nota "Notarium/Recipes/Apple pie"
"$nota" add notes.Nota Notarium/Recipes/Bread
"$nota" add notes.Nota Notarium/Reading
"$nota" add notes.Nota 'Notarium/a\/b' --folder
"$nota" add notes.Nota 'Notarium/a\/b/inside'
touch other.txt
mkdir sub

# complete WANTED WORD... : the last word is the one completed.
complete_is() {
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _nota
    local got
    got=""
    [ ${#COMPREPLY[@]} -eq 0 ] || got=$(printf '%s|' "${COMPREPLY[@]}")
    if [ "$got" != "$want" ]; then
        echo "FAIL: '$*' gave '$got', expected '$want'" >&2
        failures=$((failures + 1))
    fi
}

complete_is "cat|cp|compact|check|" nota c
complete_is "repair|" nota help rep
complete_is "--raw|" nota cat --r
complete_is "--case|" nota find notes.Nota --c
complete_is "notes.Nota|" nota cat notes
complete_is "notes.Nota|sub|" nota tree ""
complete_is "Notarium/|" nota cat notes.Nota N
complete_is "Notarium/Reading|Notarium/Recipes/|" nota cat notes.Nota Notarium/Re
complete_is "Notarium/Recipes/|" nota cat notes.Nota Notarium/Rec
complete_is 'Notarium/Recipes/Apple\ pie|' nota cat notes.Nota Notarium/Recipes/A
complete_is 'Notarium/a\\/b/|' nota ls notes.Nota Notarium/a
complete_is 'Notarium/a\\/b/inside|' nota cat notes.Nota 'Notarium/a\\/b/'
# Inside an open quote the shell takes the path as it is.
complete_is 'Notarium/a\/b/inside|' nota cat notes.Nota "'Notarium/a\\/b/i"
# Options before the file and "--" do not count as arguments.
complete_is "Notarium/Recipes/|" nota cat --raw notes.Nota Notarium/Rec
complete_is "Notarium/Recipes/|" nota cat -- notes.Nota Notarium/Rec
# The target of mv is an item path too; the pattern of find is not completed.
complete_is "Notarium/Reading|" nota mv notes.Nota Notarium/Recipes Notarium/Rea
complete_is "" nota find notes.Nota Re
# A file that is no database completes nothing and prints nothing.
complete_is "" nota cat other.txt No

[ "$failures" = 0 ] && echo "all completions as expected"
exit $((failures > 0))
