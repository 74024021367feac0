#!/usr/bin/env bash
# Backups as a user meets them, with real keystrokes on a virtual X server: the window backs up
# the file it opens; an item is deleted; File > Backups... lists the backup, F1 shows the help
# on backups, Restore Item brings the item back into the selected folder; then `nota` checks
# the file and lists the backup.
# Usage: tools/e2e-backups-xvfb.sh BUILD_DIR [SCREENSHOT_PREFIX]   (runs itself under xvfb-run)
set -euo pipefail
fail_png=/tmp/e2e-backups-fail.png
# shellcheck source=tools/e2e-lib.sh
source "$(cd "$(dirname "$0")" && pwd)/e2e-lib.sh"
e2e_begin "$0" "$@"
snap() { [ -n "$shot" ] && import -window root -crop 1000x700+0+0 "$shot-$1.png" && echo "screenshot: $shot-$1.png" || true; }

step "a data file with two folders and a textlet with a text"
"$nota" new "$work/b.Nota" >/dev/null
"$nota" add "$work/b.Nota" "Notarium/Letters" --folder >/dev/null
"$nota" add "$work/b.Nota" "Notarium/Archive" --folder >/dev/null
"$nota" add "$work/b.Nota" "Notarium/Letters/To Ann" >/dev/null
printf 'Dear Ann,\nsee you soon.\n' | "$nota" put "$work/b.Nota" "Notarium/Letters/To Ann"

step "the window backs the file up a few seconds after it opened it"
"$notarium" "$work/b.Nota" >"$work/run.log" 2>&1 &
app=$!
main=$(wait_window "b.Nota - Notarium"); focus "$main"
xdotool windowmove "$main" 10 10 windowsize "$main" 900 600; sleep 0.5
for _ in $(seq 1 100); do
  ls "$XDG_DATA_HOME"/Notarium/backups/b.Nota-*/*Z.Nota >/dev/null 2>&1 && break
  sleep 0.1
done
ls "$XDG_DATA_HOME"/Notarium/backups/b.Nota-*/*Z.Nota >/dev/null 2>&1 || fail "no backup made"
sleep 1
snap status

step "delete To Ann, select Archive"
focus "$main"; keys Home Down Down                 # root (expanded), Archive, Letters
keys Right Down                                    # open Letters, To Ann
keys ctrl+Delete
box=$(wait_window "Notarium"); focus "$box"; keys alt+y
wait_gone "Notarium"
focus "$main"; keys Home Down                      # Archive
sleep 0.5
"$nota" ls "$work/b.Nota" "Notarium/Letters" 2>/dev/null | grep -q "To Ann" && fail "To Ann not deleted"

step "File > Backups...: the list, F1, the backup's tree and Restore Item"
keys alt+f b
dlg=$(wait_window "Backups"); focus "$dlg"
xdotool windowmove "$dlg" 60 40; sleep 1.5        # the check fills the row
keys F1
hlp=$(wait_window "Notarium Help"); focus "$hlp"
snap help
keys Escape; wait_gone "Notarium Help"
focus "$dlg"
keys alt+e                                          # It&ems of the backup
keys Home Right Down Down Right Down                # Notarium, Archive, Letters, open, To Ann
sleep 0.5
snap dialog
keys alt+i                                          # Restore &Item
sleep 0.5
snap restored
keys Escape; wait_gone "Backups"
focus "$main"
keys ctrl+q                                         # Quick Copy: a harmless command with focus

step "quit; the item is back in Archive and the file is sound"
keys alt+f x
wait "$app" || true
"$nota" check "$work/b.Nota" >/dev/null || fail "nota check failed"
[ "$("$nota" cat "$work/b.Nota" "Notarium/Archive/To Ann")" = $'Dear Ann,\nsee you soon.' ] \
  || fail "To Ann was not restored into Archive"
"$nota" backups "$work/b.Nota"
echo "PASS"
