#!/bin/sh
# Checks the Debian package built by `make package` with lintian, installs it, checks the
# installed programs, manual pages and completion, and removes the package again. Run as
# root (or with sudo available).
#
#   tools/install-package.sh [PACKAGE.deb]     default: the newest in build-deb/ or build/
set -eu

deb=${1:-$(ls -t build-deb/notarium_*.deb build/notarium_*.deb 2>/dev/null | head -n 1)}
[ -n "$deb" ] && [ -f "$deb" ] || { echo "no package: run 'make package' first" >&2; exit 1; }
case $deb in /*) ;; *) deb=./$deb ;; esac
sudo=$( [ "$(id -u)" = 0 ] || echo sudo )

echo "== lintian (errors and warnings fail; the informational tags are listed)"
if command -v lintian > /dev/null; then
    tags=$(lintian --info --display-info --tag-display-limit 0 "$deb" 2>&1 | grep -v "running with root" || true)
    [ -z "$tags" ] || echo "$tags"
    if echo "$tags" | grep -q '^[EW]: '; then
        echo "lintian reports errors or warnings" >&2
        exit 1
    fi
    echo "lintian: no error, no warning"
else
    echo "lintian is not installed (apt-get install lintian)" >&2
    exit 1
fi

echo "== installing $deb"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"

echo "== versions"
for p in notarium nota notafix; do
    out=$(/usr/bin/$p --version)
    echo "$out"
    case $out in "$p "[0-9]*) ;; *) echo "unexpected: $out" >&2; exit 1 ;; esac
done

echo "== help without a display"
for p in notarium notafix nota; do
    env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/$p --help | grep -q -i '^usage: ' ||
        { echo "$p --help gives no usage" >&2; exit 1; }
done

echo "== installed files"
completion=/usr/share/bash-completion/completions/nota
for f in /usr/share/applications/notarium.desktop /usr/share/mime/packages/notarium.xml \
         /usr/share/icons/hicolor/48x48/apps/notarium.png /usr/share/doc/notarium/help/index.html \
         /usr/share/doc/notarium/copyright /usr/share/doc/notarium/changelog.gz "$completion"; do
    [ -f "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

echo "== manual pages"
for p in notarium notafix nota; do
    page=/usr/share/man/man1/$p.1.gz
    [ -f "$page" ] || { echo "missing: $page" >&2; exit 1; }
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null)
    [ -z "$warnings" ] || { echo "man -l $page: $warnings" >&2; exit 1; }
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" | grep -q "^NAME" || { echo "$page: no NAME" >&2; exit 1; }
    echo "$page: formats without a warning"
done

echo "== bash completion"
bash -c "source $completion && complete -p nota" | grep -q '_nota' ||
    { echo "the completion does not register for nota" >&2; exit 1; }

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
out=$(bash -c "source $completion; COMP_WORDS=(nota cat '$work/b.Nota' Notarium/W); COMP_CWORD=3; _nota; echo \"\${COMPREPLY[*]}\"")
[ "$out" = "Notarium/Work/" ] || { echo "completion of an item path gave '$out'" >&2; exit 1; }
echo "completion: item paths from the installed nota"

echo "== removing"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q notarium
for p in notarium nota notafix; do
    [ ! -e /usr/bin/$p ] || { echo "still there: /usr/bin/$p" >&2; exit 1; }
done
[ ! -e /usr/share/doc/notarium ] || { echo "still there: /usr/share/doc/notarium" >&2; exit 1; }
echo "package installed, checked and removed cleanly"
