#!/bin/sh
# Runs modal_on_x_host under Xvfb with the openbox window manager, several
# times (each run a fresh start of the application), for OPENINGS openings
# of a modal window in all. Skips (exit 77) when xvfb-run, openbox or the X
# tools it checks with (xwininfo, xprop) are missing; scripts/bootstrap.sh
# installs them.
# Usage: modal_on_x.sh HOST LAYOUTS RESOURCES RUNS OPENINGS_PER_RUN
set -u
for tool in xvfb-run openbox xwininfo xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is missing; the modal windows are not tried on an X server with a window manager (scripts/bootstrap.sh installs it)"
    exit 77
  fi
done
host=$1 layouts=$2 resources=$3 runs=$4 per_run=$5
export HOST_BIN="$host" LAYOUTS="$layouts" RESOURCES="$resources" RUNS="$runs" PER_RUN="$per_run"
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  # Until the window manager has taken the screen.
  i=0
  while ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    i=$((i + 1)); [ $i -gt 100 ] && { echo "openbox did not start"; kill $wm; exit 1; }
    sleep 0.1
  done
  status=0
  r=1
  while [ $r -le "$RUNS" ]; do
    QT_QPA_PLATFORM=xcb "$HOST_BIN" "$LAYOUTS" "$RESOURCES" "$PER_RUN" || status=1
    r=$((r + 1))
  done
  kill $wm 2>/dev/null
  exit $status
'
