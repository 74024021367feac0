#!/bin/sh
# Installs the Debian package built by `make package`, checks the installed programs and
# removes the package again. Run as root (or with sudo available).
#
#   tools/install-package.sh [PACKAGE.deb]     default: the one in build/
set -eu

deb=${1:-$(ls -t build/notarium_*.deb 2>/dev/null | head -n 1)}
[ -n "$deb" ] && [ -f "$deb" ] || { echo "no package: run 'make package' first" >&2; exit 1; }
case $deb in /*) ;; *) deb=./$deb ;; esac
sudo=$( [ "$(id -u)" = 0 ] || echo sudo )

echo "== installing $deb"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"

echo "== versions"
for p in notarium nota notafix; do
    out=$(/usr/bin/$p --version)
    echo "$out"
    case $out in "$p "[0-9]*) ;; *) echo "unexpected: $out" >&2; exit 1 ;; esac
done

echo "== installed files"
for f in /usr/share/applications/notarium.desktop /usr/share/mime/packages/notarium.xml \
         /usr/share/icons/hicolor/48x48/apps/notarium.png /usr/share/doc/notarium/help/index.html; do
    [ -f "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

echo "== a round trip with the installed nota"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/nota new "$work/a.Nota"
/usr/bin/nota add "$work/a.Nota" "Notarium/Work" --folder
/usr/bin/nota add "$work/a.Nota" "Notarium/Work/Memo"
printf 'line 1\nline 2\n' | /usr/bin/nota put "$work/a.Nota" "Notarium/Work/Memo"
/usr/bin/nota export "$work/a.Nota" "$work/out"
/usr/bin/nota new "$work/b.Nota"
/usr/bin/nota import "$work/b.Nota" "$work/out"
/usr/bin/nota check "$work/b.Nota" > /dev/null
[ "$(/usr/bin/nota cat "$work/b.Nota" Notarium/Work/Memo)" = "$(/usr/bin/nota cat "$work/a.Nota" Notarium/Work/Memo)" ] ||
    { echo "round trip changed the text" >&2; exit 1; }
echo "round trip: same text"

echo "== removing"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q notarium
for p in notarium nota notafix; do
    [ ! -e /usr/bin/$p ] || { echo "still there: /usr/bin/$p" >&2; exit 1; }
done
[ ! -e /usr/share/doc/notarium ] || { echo "still there: /usr/share/doc/notarium" >&2; exit 1; }
echo "package installed, checked and removed cleanly"
