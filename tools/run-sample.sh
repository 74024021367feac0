#!/usr/bin/env bash
# Starts Notarium on a copy of the sample database, with the user's normal settings.
# Usage: tools/run-sample.sh BUILD_DIR
# The copy lives in the user's data folder and is made only once, so changes stay. Without a
# display the program runs under a virtual X server.
set -euo pipefail
build=${1:?usage: run-sample.sh BUILD_DIR}
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$build/src/ui/notarium"
[ -x "$program" ] || { echo "run-sample.sh: $program not built" >&2; exit 1; }

data="${XDG_DATA_HOME:-$HOME/.local/share}/Notarium"
mkdir -p "$data"
if [ ! -e "$data/sample.Nota" ]; then
  cp "$root/resources/sample.Nota" "$data/sample.Nota"
  echo "Copied the sample database to $data/sample.Nota"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$data/sample.Nota"
fi
echo "No display: running under Xvfb (xvfb-run)."
exec xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$data/sample.Nota"
