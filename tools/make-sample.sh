#!/usr/bin/env bash
# Builds resources/sample.Nota, the database `make run` opens, with the nota command line.
# Usage: tools/make-sample.sh NOTA_PROGRAM [OUTPUT]
set -euo pipefail
nota=${1:?usage: make-sample.sh NOTA_PROGRAM [OUTPUT]}
out=${2:-"$(dirname "$0")/../resources/sample.Nota"}

"$nota" new "$out" --force
folder() { "$nota" add "$out" "$1" --folder; }
textlet() { "$nota" add "$out" "$1"; printf '%s' "$2" | "$nota" put "$out" "$1"; }

folder "Notarium/Recipes"
textlet "Notarium/Recipes/Pancakes" $'Pancakes (8 pieces)\r\n\r\n250 g flour\r\n500 ml milk\r\n3 eggs\r\n1 pinch of salt\r\n\r\nWhisk to a smooth batter, rest for 30 minutes, fry thin in butter.'
textlet "Notarium/Recipes/Lentil soup" $'1 onion, 2 carrots, 200 g red lentils, 1 l stock, cumin.\r\nSweat the vegetables, add lentils and stock, simmer 20 minutes, blend.'
folder "Notarium/Work"
folder "Notarium/Work/Projects"
textlet "Notarium/Work/Projects/Garden shed" $'Materials\r\n\t12 boards 2 m\r\n\t1 box of screws\r\n\troofing felt\r\n\r\nOpen: ask about the permit.'
textlet "Notarium/Work/Meeting notes" $'Monday\r\n- release on Friday\r\n- Anna reviews the manual\r\n\r\nThursday\r\n- release moved to next week'
textlet "Notarium/Work/Phone numbers" $'Office\t555-0100\r\nHelp desk\t555-0199'
folder "Notarium/Quotations"
textlet "Notarium/Quotations/On writing" $'"The first draft of anything is rubbish."'
textlet "Notarium/Quotations/On time" $'"Time is what we want most, but what we use worst."'
textlet "Notarium/Shopping list" $'milk\r\nbread\r\napples\r\ncoffee'
# Added last, so that it is the selected item when the file opens.
textlet "Notarium/Welcome" $'Welcome to Notarium.\r\n\r\nThe tree on the left holds folders and textlets; the text of the selected item appears here. Type to change it: the text is written to the file as soon as you select another item. There is no Save command.\r\n\r\nTry Edit > Add Item (Ctrl+A) to add a folder or a textlet, Edit > Rename to change a title, and View > Expand All to open every folder.'
"$nota" check "$out"
echo "wrote $out"
