#!/usr/bin/env bash
# Runs a test program on its own X display at a text scale a desktop sets:
#   scaled-display.sh DPI SCALE program [args...]
# DPI goes into the display's resources as Xft.dpi (what desktops set for 125 %
# or 200 % text), SCALE into QT_SCALE_FACTOR (1 leaves it unset). The program
# learns both, so it can prove it ran with them. -noreset: the server would
# forget the resources when xrdb disconnects before the program connects.
set -euo pipefail
dpi="$1" scale="$2"
shift 2
command -v Xvfb >/dev/null && command -v xrdb >/dev/null || {
  echo "scaled-display: Xvfb and xrdb are needed" >&2
  exit 1
}
work="$(mktemp -d)"
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || {
  echo "scaled-display: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
}
export DISPLAY=":$(head -n1 "$work/display")"
printf 'Xft.dpi: %s\n' "$dpi" | xrdb -merge
# No GL: its drivers are unloaded before the leak check, which then reports
# their allocations with no stack to suppress.
export QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none ZVIT_TEST_EXPECT_DPI="$dpi"
unset QT_AUTO_SCREEN_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_FONT_DPI QT_ENABLE_HIGHDPI_SCALING
if [ "$scale" != 1 ]; then
  export QT_SCALE_FACTOR="$scale" ZVIT_TEST_EXPECT_RATIO="$scale"
else
  unset QT_SCALE_FACTOR
fi
"$@"
