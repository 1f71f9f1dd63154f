#!/usr/bin/env bash
# The exported recording opens in inspectrum, a common SDR tool: the
# recording exported from the window (File > Export Data) and the one from
# the command line (tolvane generate --out NAME.sigmf-meta) each open
# without an error dialog and show the main window. A big-endian (ci16_be)
# recording, which inspectrum refuses, shows that the check sees a refusal.
# Runs inspectrum on a virtual X display (Xvfb); skipped (exit 77) where
# inspectrum, xvfb-run or xwininfo is not installed (scripts/bootstrap.sh
# installs them).
# Usage: sigmf_sdr_viewer.sh PATH-TO-TOLVANE
set -uo pipefail

# --- inside the X display: opens each file, prints "NAME opened" or
# "NAME refused: WINDOWS".
if [ "${1:-}" = --on-display ]; then
  shift
  export QT_QPA_PLATFORM=xcb
  for file in "$@"; do
    name=$(basename "$file")
    inspectrum "$file" >/dev/null 2>&1 &
    pid=$!
    verdict=""
    # Up to 10 s for either the main window with the file's name or an
    # error dialog; then a moment more in case a dialog follows the window.
    for _ in $(seq 50); do
      sleep 0.2
      windows=$(xwininfo -root -children 2>/dev/null | sed -n 's/^ *0x[0-9a-f]* "\(.*\)": .*/\1/p')
      if grep -qi 'error' <<<"$windows"; then verdict=refused; break; fi
      if grep -qxF "inspectrum: $name" <<<"$windows"; then
        sleep 1
        windows=$(xwininfo -root -children 2>/dev/null | sed -n 's/^ *0x[0-9a-f]* "\(.*\)": .*/\1/p')
        grep -qi 'error' <<<"$windows" && verdict=refused || verdict=opened
        break
      fi
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    case $verdict in
      opened) echo "$name opened" ;;
      *) echo "$name refused: $(tr '\n' '|' <<<"$windows")" ;;
    esac
  done
  exit 0
fi

tolvane=$1
for tool in inspectrum xvfb-run xwininfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/bootstrap.sh installs it)"
    exit 77
  fi
done
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf '%s\n' "type txtOversampling 2" "press pbCalculate" "file $w/window.sigmf-meta" "menu menuFileExportData" \
  | "$tolvane" app --script - >/dev/null 2>&1 || fail "the window's export"
"$tolvane" generate --set OverSampling=2 --out "$w/cli.sigmf-meta" >/dev/null || fail "the command line's export"
"$tolvane" generate --set OverSampling=2 --sigmf-datatype ci16_be --out "$w/big.sigmf-meta" >/dev/null ||
  fail "the big-endian export"

result=$(XDG_RUNTIME_DIR="$w" xvfb-run -a bash "$0" --on-display \
           "$w/window.sigmf-meta" "$w/cli.sigmf-meta" "$w/big.sigmf-meta" 2>&1) || fail "xvfb-run: $result"
echo "$result"
grep -qx 'window.sigmf-meta opened' <<<"$result" || fail "inspectrum did not open the window's recording"
grep -qx 'cli.sigmf-meta opened' <<<"$result" || fail "inspectrum did not open the command line's recording"
grep -q '^big.sigmf-meta refused: ' <<<"$result" || fail "the check did not see inspectrum refuse ci16_be"
echo "inspectrum: ok"
