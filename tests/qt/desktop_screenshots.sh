#!/bin/sh
# Runs desktop_screenshots under Xvfb (1280 x 1024) with the openbox window
# manager, so that the pictures show the windows with their title bars.
# Skips (exit 77) when xvfb-run or openbox is missing; scripts/bootstrap.sh
# installs them.
# Usage: desktop_screenshots.sh PROGRAM LAYOUTS RESOURCES OUTPUT_FOLDER
set -u
for tool in xvfb-run openbox xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is missing; no pictures of the desktop (scripts/bootstrap.sh installs it)"
    exit 77
  fi
done
mkdir -p "$4"
export PROGRAM="$1" LAYOUTS="$2" RESOURCES="$3" OUT="$4"
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  i=0
  while ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    i=$((i + 1)); [ $i -gt 100 ] && { echo "openbox did not start"; kill $wm; exit 1; }
    sleep 0.1
  done
  QT_QPA_PLATFORM=xcb "$PROGRAM" "$LAYOUTS" "$RESOURCES" "$OUT"
  status=$?
  kill $wm 2>/dev/null
  exit $status
'
