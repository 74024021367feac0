# Helpers of the keystroke scripts under Xvfb: sourced, not run. The script sets fail_png (where
# a failure leaves a screenshot) before it sources this file, then calls e2e_begin.

# The start every script shares: e2e_begin "$0" "$@" (BUILD_DIR [SCREENSHOT]). Runs the script
# again under a virtual X server (once), then gives it a home of its own: sets build, shot,
# notarium, nota and work (removed at the end, with any program left running) and enters work.
e2e_begin() {
  local script="$1"
  shift
  build="$(cd "${1:?usage: $(basename "$script") BUILD_DIR [SCREENSHOT]}" && pwd)"
  shot="${2:-}"
  if [ -z "${E2E_INSIDE_XVFB:-}" ]; then
    export E2E_INSIDE_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x720x24" "$script" "$build" "$shot"
  fi
  notarium="$build/src/ui/notarium"
  nota="$build/src/cli/nota"
  work="$(mktemp -d)"
  trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
  export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work"
  export XDG_DATA_HOME="$work/data"
  mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
  cd "$work"
}

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
