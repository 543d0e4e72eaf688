#!/bin/sh
# Writes the fixture's HTML5 page again with the Windows authoring program
# under wine, from its command line (no display needed), in a wine prefix of
# its own: the browser test then checks the page the Windows encoders made.
# Usage: windows_page.sh PICTOMIRA_EXE WORK
set -eu
exe=$1 work=$2
page="$work/Demo_Packages/Tour/Tour.html"
prefix=$(mktemp -d /tmp/pictomira-wine-XXXXXX)
trap 'WINEPREFIX="$prefix/p" wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix/p" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
unset DISPLAY
wine wineboot -i >/dev/null 2>&1
cp "$exe" "$work/Pictomira.exe"
rm -f "$page"
cd "$work"
said=$(wine Pictomira.exe --publish html5 Tour --notes 'Walk the tour & see')
rm -f "$work/Pictomira.exe"
test -s "$page"
# The page's path as Windows spells it.
case "$said" in
  *'\Demo_Packages\Tour\Tour.html'*) ;;
  *) echo "windows_page: the program said '$said'" >&2; exit 1 ;;
esac
case "$said" in */*) echo "windows_page: a '/' in '$said'" >&2; exit 1 ;; esac
echo "windows_page: $page written by the Windows program"
