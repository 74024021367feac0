# Helpers of the keystroke scripts under Xvfb: sourced, not run. The script sets fail_png (where
# a failure leaves a screenshot) before it sources this file.

step() { echo "== $*"; }
fail() { echo "FAIL: $*" >&2; import -window root "${fail_png:-/tmp/e2e-fail.png}" 2>/dev/null || true; exit 1; }
# Waits for a window whose title matches exactly and prints its id.
wait_window() {
  local id
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window '$1'"
}
wait_gone() {
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "window '$1' stays"
}
keys() { xdotool key --delay 60 "$@"; sleep 0.3; }
type_text() { xdotool type --delay 30 "$1"; sleep 0.3; }
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.2; }
