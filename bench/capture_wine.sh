#!/bin/sh
# capture_wine.sh BENCH_EXE PROBE_EXE: the capture figures of the Windows
# build under wine (information beside the Linux ones: wine is not
# Windows), on a 1280 x 800 Xvfb and in a wine prefix of its own: grabs of
# the screen, the capture thread's passes on a still screen and while ico
# redraws a 600 x 600 area, and the time from a press on a window of wine's
# (the probe's) to its key frame being written, and the accessibility
# tree's answer about a press there.
set -eu
bench=$1 probe=$2
work=$(mktemp -d /tmp/pictomira-bench-wine-XXXXXX)
xvfb=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
wine wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
echo "bench_capture and bench_capture_loop of the Windows build, under wine $(wine --version 2>/dev/null)"
wine "$bench" grab 300
wine "$bench" loop 3000 "still screen"
for faces in "" "-faces -noedges"; do
  # shellcheck disable=SC2086
  ico -geometry 600x600+100+100 $faces >/dev/null 2>&1 &
  ico=$!
  sleep 0.5
  wine "$bench" loop 3000 "600 x 600 ico${faces:+, filled faces}"
  kill "$ico"
done
wine "$probe" --kind 15 --at 600 300 >/dev/null 2>&1 &
sleep 3
wine "$bench" presses 20 700 400
wine "$bench" query 60 700 400
