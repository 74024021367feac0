#!/usr/bin/env bash
# Items between two running instances, as a user moves them, on a virtual X server: instance A
# (a.Nota) copies a folder of three textlets with Ctrl+C, instance B (b.Nota) pastes it with
# Ctrl+V; B copies a folder of its own and A pastes it (both ways); then the folder is dragged
# with the mouse from A's tree onto B's tree (a copy: A keeps it). After both have quit, the
# files are checked with `nota check`, `nota tree` and `nota cat`.
# Usage: tools/e2e-two-instances.sh BUILD_DIR [SCREENSHOT_PREFIX]   (runs itself under xvfb-run)
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail
lib="$(cd "$(dirname "$0")" && pwd)/e2e-lib.sh"
build="$(cd "${1:?usage: e2e-two-instances.sh BUILD_DIR [SCREENSHOT_PREFIX]}" && pwd)"
shot="${2:-}"
for tool in xvfb-run xdotool convert import; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [ -z "${E2E_INSIDE_XVFB:-}" ]; then
  export E2E_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x720x24" "$0" "$build" "$shot"
fi
unset QT_QPA_PLATFORM # the tests run offscreen; these windows are real X11 clients

notarium="$build/src/ui/notarium"
nota="$build/src/cli/nota"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work"
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
cd "$work"

fail_png=/tmp/e2e-two-instances-fail.png
# shellcheck source=tools/e2e-lib.sh
source "$lib"
snap() { [ -n "$shot" ] && import -window root "$shot-$1.png" && echo "screenshot: $shot-$1.png" || true; }

# The y of the middle of the selected (highlighted) row in the tree pane of a window whose
# left edge is at x0: the first run of the selection colour down the column x0 + 120 (right of
# short titles).
selected_row_y() {
  local y
  for _ in $(seq 1 20); do # the window may not have painted the new selection yet
    import -window root "$work/screen.png"
    y=$(convert "$work/screen.png" -crop "1x720+$(($1 + 120))+0" +repage -depth 8 txt:- |
      awk -F'[,:() ]+' 'NR > 1 { r = $3; g = $4; b = $5;
          if (b > 150 && r < 120 && b - r > 60) { if (first == "") first = $2; last = $2 }
          else if (first != "") exit }
        END { if (first == "") exit 1; print int((first + last) / 2) }') && { echo "$y"; return 0; }
    sleep 0.3
  done
  return 1
}

step "two files: a.Nota with Trip (three textlets), b.Nota with Home (one textlet)"
"$nota" new "$work/a.Nota" >/dev/null
"$nota" add "$work/a.Nota" "Notarium/Trip" --folder >/dev/null
for day in Monday Tuesday Wednesday; do
  "$nota" add "$work/a.Nota" "Notarium/Trip/$day" >/dev/null
  printf 'Plans for %s\r\nsecond line' "$day" | "$nota" put "$work/a.Nota" "Notarium/Trip/$day"
done
"$nota" new "$work/b.Nota" >/dev/null
"$nota" add "$work/b.Nota" "Notarium/Home" --folder >/dev/null
"$nota" add "$work/b.Nota" "Notarium/Home/Note" >/dev/null
printf 'Water the plants' | "$nota" put "$work/b.Nota" "Notarium/Home/Note"

step "start A and B side by side, each its own process"
"$notarium" "$work/a.Nota" >"$work/a.log" 2>&1 &
pid_a=$!
win_a=$(wait_window "a.Nota - Notarium")
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
[ "$(xclip -o -selection clipboard -t UTF8_STRING)" = $'Trip\n  Monday\n  Tuesday\n  Wednesday' ] ||
  fail "the clipboard's text is not Trip's outline"

step "B: select the root, Ctrl+V"
focus "$win_b"
keys Home ctrl+v
sleep 0.5
snap pasted

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

step "quit both"
focus "$win_a"; keys alt+f x
wait "$pid_a" || fail "A ended with $?"
focus "$win_b"; keys alt+f x
wait "$pid_b" || fail "B ended with $?"

step "check the files"
for f in a b; do
  "$nota" check "$work/$f.Nota" | tail -1 | grep -q "No errors" || fail "nota check $f.Nota"
done
"$nota" tree "$work/b.Nota"
text() { "$nota" cat "$work/$1.Nota" "$2"; }
for day in Monday Tuesday Wednesday; do
  [ "$(text b "Notarium/Trip/$day")" = "Plans for $day"$'\r\nsecond line' ] || fail "B: pasted $day"
  [ "$(text b "Notarium/Trip/Trip/$day")" = "Plans for $day"$'\r\nsecond line' ] ||
    fail "B: dropped $day"
  [ "$(text a "Notarium/Trip/$day")" = "Plans for $day"$'\r\nsecond line' ] || fail "A lost $day"
done
[ "$(text a "Notarium/Home/Note")" = "Water the plants" ] || fail "A: pasted Home/Note"
echo "PASS"
