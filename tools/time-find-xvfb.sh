#!/usr/bin/env bash
# Times Find through the window as a user meets it, on a virtual X server: Ctrl+F, a word that
# is in no item, Entire File, then Enter; the time runs from the Enter key going to the server
# to the "Cannot find" message box being mapped. Prints each round and the median; asserts
# nothing. Also prints the window's start-up to its main window being mapped.
#
# Usage: tools/time-find-xvfb.sh BUILD_DIR FILE.Nota [ROUNDS]      (runs itself under xvfb-run)
# Make FILE with BUILD_DIR/bench/nota_bench_files text FILE COUNT BYTES.
set -euo pipefail
fail_png=/tmp/time-find-fail.png
file="$(realpath "${2:?usage: time-find-xvfb.sh BUILD_DIR FILE.Nota [ROUNDS]}")"
rounds="${3:-5}"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=tools/e2e-lib.sh
source "$here/e2e-lib.sh"
if [ -z "${E2E_INSIDE_XVFB:-}" ]; then
  export E2E_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x720x24" "$0" "$@"
fi
e2e_begin "$0" "$1"

# Presses a key through XTEST and waits for a top-level window of the given name to be mapped;
# prints the milliseconds in between. With no key: from now until that window maps. A third
# argument names a file made once the timer listens.
cat >"$work/timer.py" <<'EOF'
import ctypes, os, select, sys, time
x = ctypes.CDLL("libX11.so.6"); xt = ctypes.CDLL("libXtst.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
x.XPending.argtypes = [ctypes.c_void_p]
x.XConnectionNumber.argtypes = [ctypes.c_void_p]
x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XFlush.argtypes = [ctypes.c_void_p]
xt.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
want, key = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else "")
d = x.XOpenDisplay(None)
x.XSelectInput(d, x.XDefaultRootWindow(d), 1 << 19)  # SubstructureNotifyMask
x.XFlush(d)
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x.XSync(d, 0)  # the server has the selection before anyone is told to go on
if len(sys.argv) > 3:
    open(sys.argv[3], "w").close()
t0 = time.monotonic()
if key:
    code = x.XKeysymToKeycode(d, int(key, 16))
    xt.XTestFakeKeyEvent(d, code, 1, 0); xt.XTestFakeKeyEvent(d, code, 0, 0); x.XFlush(d)
ev = ctypes.create_string_buffer(192)
mapped = []  # windows mapped so far: a title may come after the map

def title(win):
    name = ctypes.c_char_p()
    if x.XFetchName(d, win, ctypes.byref(name)) and name.value:
        return name.value.decode(errors="replace")
    return ""

while True:
    for win in mapped:
        if title(win).endswith(want):
            print("%.1f" % ((time.monotonic() - t0) * 1000))
            sys.exit(0)
    if not x.XPending(d):
        if time.monotonic() - t0 > 120:
            sys.exit("no window %r" % want)
        select.select([x.XConnectionNumber(d)], [], [], 0.05)  # no busy wait beside the app
        continue
    x.XNextEvent(d, ev)
    if int.from_bytes(ev.raw[0:4], "little") == 19:  # MapNotify
        mapped.append(int.from_bytes(ev.raw[40:48], "little"))
        if os.environ.get("TIMER_VERBOSE"):
            print("mapped %x %r" % (mapped[-1], title(mapped[-1])), file=sys.stderr)
EOF

# No automatic backup: its copy of the file would run beside the searches.
mkdir -p "$XDG_CONFIG_HOME/Kestrelworks"
printf '[Settings]\nBackupInterval=0\n' >"$XDG_CONFIG_HOME/Kestrelworks/Notarium.conf"

step "start-up on $(basename "$file") ($(du -h "$file" | cut -f1))"
python3 "$work/timer.py" " - Notarium" "" "$work/ready" >"$work/start.ms" &
timer=$!
while [ ! -e "$work/ready" ]; do sleep 0.05; done
"$notarium" "$file" >"$work/run.log" 2>&1 &
app=$!
wait "$timer"
echo "start-up to the main window mapped with its title: $(cat "$work/start.ms") ms (with the start of the process)"
main=$(wait_window "$(basename "$file") - Notarium")
sleep 1
echo "peak memory after start-up: $(awk '/VmHWM/ {printf "%.1f MB", $2 / 1024}' "/proc/$app/status")"
times=()
for r in $(seq 1 "$rounds"); do
  # The tree gets the focus from a click below its rows, then Home selects the root: a click on
  # the root when it is selected already would start a rename, and its end would sort and save
  # inside the time measured.
  focus "$main"; xdotool mousemove --window "$main" 60 600 click 1; sleep 0.3; keys Home; sleep 0.3
  keys ctrl+f
  dlg=$(wait_window "Find"); focus "$dlg"
  keys ctrl+a; type_text "zebrafinch"; keys alt+e
  ms=$(python3 "$work/timer.py" "Notarium" ff0d)
  times+=("$ms")
  echo "round $r: Enter to \"Cannot find\": $ms ms"
  box=$(wait_window "Notarium"); focus "$box"; keys Return
  wait_gone "Notarium"
  if xdotool search --onlyvisible --name "^Find\$" >/dev/null 2>&1; then
    focus "$(wait_window "Find")"; keys Escape; wait_gone "Find"
  fi
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((rounds + 1) / 2))p")
echo "median of $rounds: $median ms"
