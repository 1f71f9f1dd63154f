#!/usr/bin/env bash
# A day in the lab with the application, scripted: edit the main window and
# the generator panel, set up slots, calculate, save, start anew, open the
# saved file, connect to the simulated instrument through the connection
# dialog, download, look at three displays, exit; then start again and find the connection.
# Usage: app_day.sh PATH-TO-TOLVANE
set -u
tolvane="$1"
w="$(mktemp -d)"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$w"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$w"
export TOLVANE_CORRECTION_DIR="$w/corrections"
mkdir -p "$w/corrections"

"$tolvane" sim --port 0 --lifetime 120 >"$w/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q '^listening on' "$w/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$w/sim.out")
[ -n "$port" ] || fail "the simulator did not start: $(cat "$w/sim.out")"

# contains FILE LINE: the transcript has the line.
contains() { grep -qxF -- "$2" "$1" || fail "the transcript lacks: $2 (it was: $(cat "$1"))"; }

"$tolvane" app --script - >"$w/day1.out" 2>"$w/day1.err" <<SCRIPT
type txtOversampling 4
check chkDATAchnActive 1
check chkMACchnActive 1
select pdDATAsourceType 6
press pbSlotSetup
select pldDATAmod 3
press pbOK
select pdFrequencyUnits 4
type txtFrequency 1.9
type txtAmplitude -20
type txtWaveformTitle day wave
press pbAdvancedSettings
type txtScaling 80
press pbOK
press pbCalculate
file $w/day
menu menuFileSaveAs
show main Name
menu menuFileNew
show txtOversampling String
show main Name
file $w/day.mat
menu menuFileOpen
show txtOversampling String
show txtWaveformTitle String
menu menuConfigSigGenIO
select pmConnection 2
type editTCPIPAddress 127.0.0.1:$port
press pbOK
press pbDownload
menu menuPlotCCDF
menu menuPlotSpectrum
menu menuPlotIQTime
menu menuFileExit
SCRIPT
status=$?
[ $status -eq 0 ] || fail "the first run ended with $status: $(cat "$w/day1.err")"
contains "$w/day1.out" "show main Name: Veltran Sonvale - 1xEV Forward Link : $w/day.mat"
contains "$w/day1.out" "show txtOversampling String: 5"
contains "$w/day1.out" "show main Name: Veltran Sonvale - 1xEV Forward Link"
contains "$w/day1.out" "show txtOversampling String: 4"
contains "$w/day1.out" "show txtWaveformTitle String: DAYWAVE"
contains "$w/day1.out" 'window opened "Signal Generator IO Connection"'
# The opened file holds what was calculated: no question before the download.
grep -q 'Waveform Not' "$w/day1.out" && fail "a readiness question came: $(cat "$w/day1.out")"
contains "$w/day1.out" 'dialog message "Download Completed": Waveform has been successfully transferred to the instrument [OK]'
contains "$w/day1.out" "window closed \"Veltran Sonvale - 1xEV Forward Link : $w/day.mat\""
for display in "CCDF" "Magnitude Spectrum" "I(t) Q(t)"; do
  [ "$(grep -cF "window opened \"$display 1xEV Forward Link (" "$w/day1.out")" = 1 ] || fail "no $display display"
  [ "$(grep -cF "window closed \"$display 1xEV Forward Link (" "$w/day1.out")" = 1 ] || fail "$display not closed at exit"
done
[ -f "$w/rfIOConfig.mat" ] || fail "no rfIOConfig.mat after File > Exit"
for _ in $(seq 50); do grep -qF '> :MMEM:DATA "WFM1:DAYWAVE",#6524288<524288 bytes>' "$w/sim.out" && break; sleep 0.1; done
grep -qF '> :MMEM:DATA "WFM1:DAYWAVE",#6524288<524288 bytes>' "$w/sim.out" || fail "the simulator got no waveform: $(cat "$w/sim.out")"
grep -qF '> :source:freq:fix 1900000000Hz' "$w/sim.out" || fail "the simulator got no frequency: $(cat "$w/sim.out")"

# The next start finds the connection, not the file.
"$tolvane" app --script - >"$w/day2.out" 2>"$w/day2.err" <<SCRIPT
show main Name
menu menuConfigSigGenIO
show editTCPIPAddress String
press pbCancel
press pbDownload
SCRIPT
status=$?
[ $status -eq 0 ] || fail "the second run ended with $status: $(cat "$w/day2.err")"
contains "$w/day2.out" "show main Name: Veltran Sonvale - 1xEV Forward Link"
contains "$w/day2.out" "show editTCPIPAddress String: 127.0.0.1:$port"
contains "$w/day2.out" 'dialog message "Download Completed": Waveform has been successfully transferred to the instrument [OK]'
echo "a day with the application passes"
