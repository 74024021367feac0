#!/usr/bin/env bash
# Drives Notarium as a user would, with real keystrokes on a virtual X server: creates a file
# through the dialog loop, adds a folder and textlets, types, switches items, renames,
# deletes, quits, starts again; then checks the file with `nota check` and what it holds.
# Also: a second instance on the same file shows the sharing-violation message and ends;
# a file that is no data file shows message 1003; F1 in Add Item shows help that works while
# the dialog is open; Edit > Undo from the menu bar acts on a title being edited; Shift+F10
# opens the tree's context menu; Caps Lock shows in the status bar; Options (F12) changes the
# editor font, File > Print Preview shows the page (screenshots); Find across items selects and
# highlights the hit, Replace All reports its count, F4 goes between two bookmarks. In a file
# of 4,000 items End, Home and Page Down keep the selected row in view (screenshot); in Options
# a size typed into the Size box and a name typed into the Font box are each taken by one Enter.
# Usage: tools/e2e-xvfb.sh BUILD_DIR [SCREENSHOT]      (runs itself under xvfb-run)
set -euo pipefail
fail_png=/tmp/e2e-fail.png
# shellcheck source=tools/e2e-lib.sh
source "$(cd "$(dirname "$0")" && pwd)/e2e-lib.sh"
e2e_begin "$0" "$@"
add_item() { # name kind-key (t = textlet, f = folder)
  focus "$main"; keys ctrl+a
  local dlg; dlg=$(wait_window "Add Item"); focus "$dlg"
  type_text "$1"; keys "alt+$2"; keys Return
  wait_gone "Add Item"
  focus "$main"   # without a window manager nobody hands the focus back
}
click_text_pane() { xdotool mousemove --window "$main" 500 250 click 1; sleep 0.3; }

step "first start: no file yet, so the Open dialog"
"$notarium" >"$work/run1.log" 2>&1 &
app=$!
dlg=$(wait_window "Open Existing File"); focus "$dlg"
keys alt+w                                         # Ne&w... switches to creating
dlg=$(wait_window "Create New File"); focus "$dlg"
type_text "e2e"; keys Return                       # no dot: e2e.Nota
main=$(wait_window "e2e.Nota - Notarium"); focus "$main"
[ -f "$work/e2e.Nota" ] || fail "e2e.Nota was not created"
xdotool windowmove "$main" 40 30 windowsize "$main" 900 600; sleep 0.5

step "add a folder and textlets, type, switch items, rename, delete"
add_item "Letters" f
add_item "Draft" t
click_text_pane; type_text "Dear Ann,"; keys Return; type_text "see you soon."
keys F6 Up                                         # to the tree, select the folder: stores the text
keys Down                                          # back to Draft: its text is loaded again
add_item "Zeta" t
click_text_pane; type_text "second note"
keys F6 alt+e e                                    # Edit > R&ename
type_text "Memo"; keys Return
add_item "Scratch" t
keys ctrl+Delete
box=$(wait_window "Notarium"); focus "$box"; keys alt+y
wait_gone "Notarium"
focus "$main"; keys Home Down Down                 # root, Letters, Draft
sleep 0.5

step "F1 in Add Item shows its help; the help closes with its own keys, the dialog stays"
focus "$main"; keys ctrl+a
dlg=$(wait_window "Add Item"); focus "$dlg"; keys F1
hlp=$(wait_window "Notarium Help"); focus "$hlp"; keys Escape
wait_gone "Notarium Help"
xdotool search --onlyvisible --name "^Add Item\$" >/dev/null || fail "Add Item closed with its help"
focus "$dlg"; keys Escape; wait_gone "Add Item"; focus "$main"

step "Edit > Undo from the menu bar while a title is edited undoes the typing in the title"
keys alt+e e                                       # R&ename Draft
type_text "Tmp"
keys alt+e u                                       # &Undo: the title editor's
keys Return
sleep 0.3
xdotool getwindowgeometry "$main" | tail -2 | tee "$work/geometry1"

step "quit through File > Exit"
keys alt+f x
wait "$app" || fail "notarium ended with $?"
"$nota" check "$work/e2e.Nota" | tail -1 | grep -q "No errors" || fail "nota check"
tree=$("$nota" tree "$work/e2e.Nota")
echo "$tree"
grep -q '"title":"Letters","image":5,[^}]*"state":32' <<<"$tree" || fail "Letters not expanded"
grep -q '"title":"Draft","image":8,[^}]*"state":2' <<<"$tree" || fail "Draft not selected"
grep -q '"title":"Memo"' <<<"$tree" || fail "rename lost"
grep -q '"title":"Tmp' <<<"$tree" && fail "the menu's Undo did not reach the title editor"
grep -q 'Zeta\|Scratch' <<<"$tree" && fail "renamed or deleted item still there"
[ "$("$nota" cat --raw "$work/e2e.Nota" "Notarium/Letters/Draft")" = $'Dear Ann,\r\nsee you soon.' ] ||
  fail "Draft text"
[ "$("$nota" cat "$work/e2e.Nota" "Notarium/Letters/Memo")" = "second note" ] || fail "Memo text"
grep -q "LastFile=.*e2e.Nota" "$XDG_CONFIG_HOME/Kestrelworks/Notarium.conf" || fail "LastFile"

step "second start: the last file, window, selection and folders come back"
"$notarium" >"$work/run2.log" 2>&1 &
app=$!
main=$(wait_window "e2e.Nota - Notarium"); focus "$main"
sleep 1
xdotool getwindowgeometry "$main" | tail -2 | tee "$work/geometry2"
diff "$work/geometry1" "$work/geometry2" || fail "window placement not restored"
[ -n "$shot" ] && import -window root -crop 940x640+20+10 "$shot" && echo "screenshot: $shot"

step "Caps Lock shows CAP; Shift+F10 opens the tree's context menu at its corner"
focus "$main"; keys Caps_Lock; sleep 0.5
keys shift+F10; sleep 0.5
[ -n "$shot" ] && import -window root -crop 940x640+20+10 "${shot%.png}-menu.png" &&
  echo "screenshot: ${shot%.png}-menu.png"
keys Escape Caps_Lock; sleep 0.3

step "the selected item's text is there: Quick Copy it, paste it into Memo"
focus "$main"; keys ctrl+q Down                    # Draft's whole text; then select Memo
click_text_pane; keys ctrl+End ctrl+v
focus "$main"; keys F6 Up                          # back to the tree, Draft: Memo is stored

step "Options (F12): the editor font to 20 points, OK; then File > Print Preview (screenshots)"
focus "$main"; keys F12
dlg=$(wait_window "Options"); focus "$dlg"
keys ctrl+Tab alt+s ctrl+a                         # the Editor page, its Size box
type_text "20"; keys Tab Return
wait_gone "Options"; focus "$main"
[ -n "$shot" ] && import -window root -crop 940x640+20+10 "${shot%.png}-options.png" &&
  echo "screenshot: ${shot%.png}-options.png"
keys alt+f v                                       # Print Pre&view
pv=$(wait_window "Print Preview"); sleep 1
[ -n "$shot" ] && import -window root -crop 940x640+20+10 "${shot%.png}-preview.png" &&
  echo "screenshot: ${shot%.png}-preview.png"
focus "$pv"; keys Escape; wait_gone "Print Preview"; focus "$main"

step "Open New Window: another instance with the Open dialog, which ends when cancelled"
keys alt+f w
dlg=$(wait_window "Open Existing File"); focus "$dlg"; keys Escape
wait_gone "Open Existing File"
sleep 0.5
[ "$(xdotool search --name 'Notarium' | wc -l)" -ge 1 ] || fail "main window gone"

step "another instance on the same file: sharing violation, then it ends"
"$notarium" "$work/e2e.Nota" >"$work/run3.log" 2>&1 &
second=$!
box=$(wait_window "Notarium"); focus "$box"; keys Return
dlg=$(wait_window "Open Existing File"); focus "$dlg"; keys Escape
wait "$second" || fail "second instance ended with $?"

step "a file that is no data file: message 1003"
printf 'just text\n' >"$work/plain.Nota"
focus "$main"; keys ctrl+o
dlg=$(wait_window "Open Existing File"); focus "$dlg"
type_text "$work/plain.Nota"; keys Return
box=$(wait_window "Notarium"); focus "$box"; keys Return
wait_gone "Notarium"
focus "$main"
xdotool search --name "^e2e.Nota - Notarium\$" >/dev/null || fail "current file closed"

step "Ctrl+F, type, Entire File, Enter: the hit is selected in the tree and highlighted"
focus "$main"; xdotool mousemove --window "$main" 60 57 click 1  # the root in the tree
sleep 0.5
keys ctrl+f
dlg=$(wait_window "Find"); focus "$dlg"
type_text "soon"; keys alt+e
[ -n "$shot" ] && import -window root "${shot%.png}-find.png" && echo "screenshot: ${shot%.png}-find.png"
keys Return
wait_gone "Find"; focus "$main"; sleep 0.5
[ -n "$shot" ] && import -window root -crop 940x640+20+10 "${shot%.png}-found.png" &&
  echo "screenshot: ${shot%.png}-found.png"
keys ctrl+F4                                       # bookmarks the hit: Draft

step "Replace All in Memo with its count; F4 between the two bookmarks"
xdotool mousemove --window "$main" 100 108 click 1 # Memo in the tree
sleep 0.5; keys ctrl+F4                            # bookmarked
click_text_pane; keys ctrl+r
dlg=$(wait_window "Replace"); focus "$dlg"
keys ctrl+a; type_text "Ann"; keys alt+c ctrl+a; type_text "Bob"; keys alt+a
box=$(wait_window "Notarium"); focus "$box"
[ -n "$shot" ] && import -window root "${shot%.png}-replaced.png" &&
  echo "screenshot: ${shot%.png}-replaced.png"
keys Return; wait_gone "Notarium"
focus "$dlg"; keys Escape; wait_gone "Replace"; focus "$main"
keys F4                                            # Memo -> Draft, round the end of the tree
keys shift+F4 F4                                   # back to Memo and again to Draft
keys alt+f x
wait "$app" || fail "notarium ended with $?"
"$nota" check "$work/e2e.Nota" | tail -1 | grep -q "No errors" || fail "nota check at the end"
[ "$("$nota" cat --raw "$work/e2e.Nota" "Notarium/Letters/Memo")" = $'second noteDear Bob,\r\nsee you soon.' ] ||
  fail "Memo after the paste and Replace All: $("$nota" cat --raw "$work/e2e.Nota" "Notarium/Letters/Memo")"
[ "$("$nota" cat --raw "$work/e2e.Nota" "Notarium/Letters/Draft")" = $'Dear Ann,\r\nsee you soon.' ] ||
  fail "Replace reached another item"
tree=$("$nota" tree "$work/e2e.Nota")
grep -q '"title":"Draft","image":10,[^}]*"state":2' <<<"$tree" || fail "Draft not bookmarked and selected by F4: $tree"
grep -q '"title":"Memo","image":10,' <<<"$tree" || fail "Memo not bookmarked: $tree"
# The editor font of 20 points at 96 dots per inch: a height of -27 pixels, stored at OK.
grep -qF 'Font=@ByteArray(\xe5\xff\xff\xff' "$XDG_CONFIG_HOME/Kestrelworks/Notarium.conf" ||
  fail "the editor font from Options was not stored"
step "4,000 items: End, Home and Page Down move the selection and the tree keeps it in view"
mkdir -p "$work/many"
for i in $(seq -w 1 4000); do printf 'text %s\n' "$i" >"$work/many/item $i.txt"; done
"$nota" new "$work/big.Nota" >/dev/null
"$nota" import "$work/big.Nota" "$work/many" >/dev/null
"$notarium" "$work/big.Nota" >"$work/run4.log" 2>&1 &
app=$!
main=$(wait_window "big.Nota - Notarium"); focus "$main"
xdotool windowmove "$main" 40 30 windowsize "$main" 900 600; sleep 0.5
keys Home KP_Add End                               # the root, opened; its last item
[ -n "$shot" ] && import -window root -crop 940x640+20+10 "${shot%.png}-end.png" &&
  echo "screenshot: ${shot%.png}-end.png"
keys Home Next                                     # to the root, one page down
[ -n "$shot" ] && import -window root -crop 940x640+20+10 "${shot%.png}-pagedown.png" &&
  echo "screenshot: ${shot%.png}-pagedown.png"

step "Options: a typed size, then a typed font name, Tab and Enter; each closes with one Enter"
focus "$main"; keys F12
dlg=$(wait_window "Options"); focus "$dlg"
keys ctrl+Tab alt+s ctrl+a                         # the Editor page, its Size box
type_text "13"; keys Return                        # no Tab: Enter alone
wait_gone "Options"; focus "$main"
keys F12
dlg=$(wait_window "Options"); focus "$dlg"         # opens on the Editor page again
keys alt+f ctrl+a; type_text "Noto Mono"; keys Tab Return
wait_gone "Options"; focus "$main"
keys alt+f x
wait "$app" || fail "notarium ended with $?"
selected=$("$nota" tree "$work/big.Nota" | grep -o '"title":"[^"]*","image":[0-9]*,[^}]*"state":[0-9]*' |
  grep '"state":[0-9]*' | grep -E '"state":(2|3|34|35)$' | head -1)
echo "selected after Page Down: $selected"
grep -q '"title":"item 0' <<<"$selected" || fail "Page Down from the root selected no item: $selected"
conf="$XDG_CONFIG_HOME/Kestrelworks/Notarium.conf"
# 13 points at 96 dots per inch: a height of -17 pixels (EF FF FF FF), and the face typed.
grep -qF 'Font=@ByteArray(\xef\xff\xff\xff' "$conf" || fail "the typed size 13 was not stored: $(grep '^Font=' "$conf")"
grep '^Font=' "$conf" | grep -q 'Noto Mono' || fail "the typed font name was not stored"

echo "PASS"
