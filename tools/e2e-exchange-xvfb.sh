#!/usr/bin/env bash
# File > Import... and File > Export... as a user does them, with real keystrokes on a virtual
# X server: imports a folder of text files (one of them not text) into a folder, reads the
# summary, exports the folder again; then checks the file and the export with `nota`.
# Usage: tools/e2e-exchange-xvfb.sh BUILD_DIR [SCREENSHOT_PREFIX]   (runs itself under xvfb-run)
set -euo pipefail
fail_png=/tmp/e2e-exchange-fail.png
# shellcheck source=tools/e2e-lib.sh
source "$(cd "$(dirname "$0")" && pwd)/e2e-lib.sh"
e2e_begin "$0" "$@"
snap() { [ -n "$shot" ] && import -window root -crop 940x640+20+10 "$shot-$1.png" && echo "screenshot: $shot-$1.png" || true; }

step "a data file with a folder, and a folder of files to import"
"$nota" new "$work/x.Nota" >/dev/null
"$nota" add "$work/x.Nota" "Notarium/Letters" --folder >/dev/null
mkdir -p "$work/source/Recipes"
printf 'Buy milk\nand bread\n' >"$work/source/Shopping.txt"
printf '# Plans\n\nsee notes\n' >"$work/source/Plans.md"
printf 'Flour, water\n' >"$work/source/Recipes/Bread.txt"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR' >"$work/source/logo.png"

"$notarium" "$work/x.Nota" >"$work/run.log" 2>&1 &
app=$!
main=$(wait_window "x.Nota - Notarium"); focus "$main"
xdotool windowmove "$main" 40 30 windowsize "$main" 900 600; sleep 0.5
keys Home Down                                     # select Letters

step "File > Import...: add the folder, import"
keys alt+f i
dlg=$(wait_window "Import"); focus "$dlg"
keys alt+o                                         # Add F&older...
fd=$(wait_window "Import Folder"); focus "$fd"
type_text "$work/source"; keys Return
wait_gone "Import Folder"; focus "$dlg"
snap import-dialog
keys alt+i                                         # &Import
wait_gone "Import"
box=$(wait_window "Notarium"); focus "$box"
snap summary
keys Return; wait_gone "Notarium"
focus "$main"                                      # nobody hands the focus back
sleep 0.5
snap tree

step "File > Export...: the selected folder as text files"
keys Home Down                                     # Letters again
keys alt+f e
dlg=$(wait_window "Export"); focus "$dlg"
keys alt+d ctrl+a; type_text "$work/out"
snap export-dialog
keys alt+e                                         # &Export
wait_gone "Export"
box=$(wait_window "Notarium"); focus "$box"
snap export-summary
keys Return; wait_gone "Notarium"; focus "$main"

step "quit, check"
keys alt+f x
wait "$app" || fail "notarium ended with $?"
"$nota" check "$work/x.Nota" | tail -1 | grep -q "No errors" || fail "nota check"
"$nota" tree "$work/x.Nota"
# The folder added comes in as that folder, "source". (The shell drops the last line feed of
# what it captures.)
[ "$("$nota" cat --raw "$work/x.Nota" "Notarium/Letters/source/Shopping")" = $'Buy milk\r\nand bread\r' ] ||
  fail "Shopping text"
[ "$("$nota" cat --raw "$work/x.Nota" "Notarium/Letters/source/Recipes/Bread")" = $'Flour, water\r' ] ||
  fail "Bread text"
"$nota" tree "$work/x.Nota" | grep -q logo && fail "the binary file was imported"
[ "$(cat "$work/out/source/Shopping.txt")" = $'Buy milk\nand bread' ] || fail "exported Shopping"
[ -f "$work/out/source/Recipes/Bread.txt" ] || fail "exported Bread"
echo "PASS"
