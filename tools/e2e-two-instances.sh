#!/usr/bin/env bash
# Items between two running instances, as a user moves them, on a virtual X server: instance A
# (a.Nota) copies a folder of three textlets with Ctrl+C, instance B (b.Nota) pastes it with
# Ctrl+V; B copies a folder of its own and A pastes it (both ways); then the folder is dragged
# with the mouse from A's tree onto B's tree (a copy: A keeps it). After both have quit, the
# files are checked with `nota check`, `nota tree` and `nota cat`.
# Usage: tools/e2e-two-instances.sh BUILD_DIR [SCREENSHOT_PREFIX]   (runs itself under xvfb-run)
# Exits 77 (skipped) when Xvfb, xdotool, xclip or ImageMagick is missing.
set -euo pipefail
for tool in xvfb-run xdotool xclip convert import; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
fail_png=/tmp/e2e-two-instances-fail.png
# shellcheck source=tools/e2e-lib.sh
source "$(cd "$(dirname "$0")" && pwd)/e2e-lib.sh"
e2e_begin "$0" "$@"
unset QT_QPA_PLATFORM # the tests run offscreen; these windows are real X11 clients
snap() { [ -n "$shot" ] && import -window root "$shot-$1.png" && echo "screenshot: $shot-$1.png" || true; }

# The y of the middle of the selected (highlighted) row in the tree pane of a window whose
# left edge is at x0: the first run of the selection colour down the column x0 + 120 (right of
# short titles).
selected_row() { # prints the row's middle y and its height
  local y last=""
  for _ in $(seq 1 20); do # the window may not have painted the new selection yet
    sleep 0.3
    import -window root "$work/screen.png"
    y=$(convert "$work/screen.png" -crop "1x720+$(($1 + 120))+0" +repage -depth 8 txt:- |
      awk -F'[,:() ]+' 'NR > 1 && !done { r = $3; g = $4; b = $5;
          if (b > 150 && r < 120 && b - r > 60) { if (first == "") first = $2; last = $2 }
          else if (first != "") done = 1 }
        END { if (first == "") exit 1; print int((first + last) / 2), last - first + 1 }') ||
      continue
    [ "$y" = "$last" ] && { echo "$y"; return 0; } # the same twice: painted
    last=$y
  done
  return 1
}
selected_row_y() { local r; r=$(selected_row "$1") || return 1; echo "${r% *}"; }

# Drags with the mouse from (x1, y1) to (x2, y2) in steps, as a hand does; with "ctrl" the
# Ctrl key is held once the drag is under way.
drag() {
  local x1=$1 y1=$2 x2=$3 y2=$4 ctrl=${5:-}
  xdotool mousemove "$x1" "$y1" mousedown 1; sleep 0.3
  for i in 1 2 3 4 5 6; do
    xdotool mousemove $((x1 + (x2 - x1) * i / 6 + 3)) $((y1 + (y2 - y1) * i / 6)); sleep 0.15
    [ "$i" = 2 ] && [ -n "$ctrl" ] && xdotool keydown ctrl
  done
  xdotool mousemove "$x2" "$y2"; sleep 0.5
  xdotool mouseup 1; sleep 0.3
  [ -n "$ctrl" ] && xdotool keyup ctrl
  sleep 1
}

step "two files: a.Nota with Trip (three textlets), b.Nota with Home (one textlet)"
"$nota" new "$work/a.Nota" >/dev/null
"$nota" add "$work/a.Nota" "Notarium/Trip" --folder >/dev/null
"$nota" add "$work/a.Nota" "Notarium/Trip/Maps" --folder >/dev/null
for day in Monday Tuesday Wednesday; do
  "$nota" add "$work/a.Nota" "Notarium/Trip/$day" >/dev/null
  printf 'Plans for %s\r\nsecond line' "$day" | "$nota" put "$work/a.Nota" "Notarium/Trip/$day"
done
"$nota" new "$work/b.Nota" >/dev/null
"$nota" add "$work/b.Nota" "Notarium/Home" --folder >/dev/null
"$nota" add "$work/b.Nota" "Notarium/Home/Note" >/dev/null
printf 'Water the plants' | "$nota" put "$work/b.Nota" "Notarium/Home/Note"

step "start A and B side by side, each its own process"
# An items file left by a killed instance: the next start removes it, a live one's it keeps.
dead=$(sh -c 'echo $$')
touch "$XDG_RUNTIME_DIR/notarium-items-$dead-1-00000000000000aa"
touch "$XDG_RUNTIME_DIR/notarium-items-$$-1-00000000000000bb"
"$notarium" "$work/a.Nota" >"$work/a.log" 2>&1 &
pid_a=$!
win_a=$(wait_window "a.Nota - Notarium")
[ ! -e "$XDG_RUNTIME_DIR/notarium-items-$dead-1-00000000000000aa" ] || fail "a stale file stayed"
rm "$XDG_RUNTIME_DIR/notarium-items-$$-1-00000000000000bb" || fail "a live process's file went"
xdotool windowmove "$win_a" 0 0 windowsize "$win_a" 500 520; sleep 0.5
"$notarium" "$work/b.Nota" >"$work/b.log" 2>&1 &
pid_b=$!
win_b=$(wait_window "b.Nota - Notarium")
xdotool windowmove "$win_b" 520 0 windowsize "$win_b" 500 520; sleep 0.5

step "A: select Trip, Ctrl+C"
focus "$win_a"
keys Home KP_Add Down                        # the root, opened; then Trip
keys ctrl+c
targets=$(xclip -o -selection clipboard -t TARGETS 2>/dev/null || true)
echo "$targets" | grep -qx NotariumData || fail "the clipboard offers no NotariumData: $targets"
echo "$targets" | grep -qx application/x-notarium-items-file ||
  fail "the clipboard offers no items file: $targets"
[ "$(xclip -o -selection clipboard -t UTF8_STRING)" = $'Trip\n  Maps\n  Monday\n  Tuesday\n  Wednesday' ] ||
  fail "the clipboard's text is not Trip's outline"

step "B: select the root, Ctrl+V"
focus "$win_b"
keys Home ctrl+v
sleep 0.5
snap pasted
# B took the items through a file that A wrote when asked (kept while A owns the clipboard).
ls "$XDG_RUNTIME_DIR" | grep -q '^notarium-items-' || fail "B did not ask A for an items file"

step "B: select Home, Ctrl+C; A: select the root, Ctrl+V"
keys Home KP_Add Down                        # Home (sorted before Trip)
keys ctrl+c
focus "$win_a"
keys Home ctrl+v
sleep 0.5

step "drag Trip from A's tree onto B's Trip"
focus "$win_a"
keys Home Down Down                          # Home, Trip
ya=$(selected_row_y 0) || fail "no selected row in A"
focus "$win_b"
keys End                                     # Trip in B, the last row (Home is open)
yb=$(selected_row_y 520) || fail "no selected row in B"
focus "$win_a"
xdotool mousemove 40 "$ya" mousedown 1
sleep 0.3
for dx in 10 20 40 80 160 320 480 560; do xdotool mousemove $((40 + dx)) "$ya"; sleep 0.15; done
xdotool mousemove 580 $((yb - 34)); sleep 0.3   # over Home, two rows up: highlighted
xdotool mousemove 585 $((yb - 34)); sleep 0.5
snap dragging
xdotool mousemove 580 "$yb"; sleep 0.3
xdotool mousemove 585 "$yb"; sleep 0.5
xdotool mouseup 1
sleep 1.5
snap dropped

# Rows of A's tree from here on are counted from the root's row (all of them fit).
step "inside A: drag Monday onto Home (a move), Ctrl+drag Tuesday onto Home (a copy)"
focus "$win_a"
keys Home; r0=$(selected_row 0) || fail "no root row in A"
y0=${r0% *}; row_h=${r0#* }
row() { echo $((y0 + $1 * row_h)); }
# Notarium, Home, Trip, Maps, Monday, Tuesday, Wednesday (Home closed, Trip open)
drag 40 "$(row 4)" 40 "$(row 1)"
# Notarium, Home, Monday, Note, Trip, Maps, Tuesday, Wednesday (Home opened to show Monday)
drag 40 "$(row 6)" 40 "$(row 1)" ctrl

step "inside A: drag Trip onto its own Maps folder: refused with a message"
# Notarium, Home, Monday, Note, Tuesday, Trip, Maps, Tuesday, Wednesday
drag 40 "$(row 5)" 40 "$(row 6)"
box=$(wait_window "Notarium"); focus "$box"
snap into-itself
keys Return; wait_gone "Notarium"; focus "$win_a"

step "quit both"
focus "$win_a"; keys alt+f x
wait "$pid_a" || fail "A ended with $?"
focus "$win_b"; keys alt+f x
wait "$pid_b" || fail "B ended with $?"

step "check the files"
# Each instance removed the files it wrote when their data went away.
leftover=$(ls "$XDG_RUNTIME_DIR" | grep '^notarium-items-' || true)
[ -z "$leftover" ] || fail "items files left behind: $leftover"
for f in a b; do
  "$nota" check "$work/$f.Nota" | tail -1 | grep -q "No errors" || fail "nota check $f.Nota"
done
"$nota" tree "$work/b.Nota"
text() { "$nota" cat --raw "$work/$1.Nota" "$2"; }
for day in Monday Tuesday Wednesday; do
  [ "$(text b "Notarium/Trip/$day")" = "Plans for $day"$'\r\nsecond line' ] || fail "B: pasted $day"
  [ "$(text b "Notarium/Trip/Trip/$day")" = "Plans for $day"$'\r\nsecond line' ] ||
    fail "B: dropped $day"
done
# In A: Monday moved to Home, Tuesday copied there, Wednesday untouched; Trip not in Maps.
[ "$(text a "Notarium/Home/Monday")" = $'Plans for Monday\r\nsecond line' ] || fail "A: moved Monday"
"$nota" cat "$work/a.Nota" "Notarium/Trip/Monday" >/dev/null 2>&1 && fail "A: Monday stayed in Trip"
[ "$(text a "Notarium/Home/Tuesday")" = $'Plans for Tuesday\r\nsecond line' ] || fail "A: copied Tuesday"
[ "$(text a "Notarium/Trip/Tuesday")" = $'Plans for Tuesday\r\nsecond line' ] || fail "A: Tuesday's source"
[ "$(text a "Notarium/Trip/Wednesday")" = $'Plans for Wednesday\r\nsecond line' ] || fail "A: Wednesday"
"$nota" tree "$work/a.Nota" | grep -q '"title":"Maps","image":4,"textData":0,"state":[0-9]*,"children":\[\]' ||
  fail "A: something went into Maps"
[ "$(text a "Notarium/Home/Note")" = "Water the plants" ] || fail "A: pasted Home/Note"
echo "PASS"
