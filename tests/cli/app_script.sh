#!/usr/bin/env bash
# tolvane app --script, run as a user would: the transcript on standard
# output, faults with their line and exit status 2.
# Usage: app_script.sh PATH-TO-TOLVANE
set -u
tolvane="$1"
layouts="$(cd "$(dirname "$0")/../app/data" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
passed=0

fail() {
  echo "FAIL: $*" >&2
  failed=$((failed + 1))
}

# run SCRIPT-TEXT ARGS...: runs tolvane app on the script given on standard input.
run() {
  local script="$1"
  shift
  printf '%s' "$script" | "$tolvane" app --script - "$@" >"$work/out" 2>"$work/err"
  status=$?
  out="$(cat "$work/out")"
  err="$(cat "$work/err")"
}

# expect NAME STATUS STDOUT STDERR-FRAGMENT ("" not checked, "-" empty).
expect() {
  local name="$1" want_status="$2" want_out="$3" want_err="$4" ok=1
  if [ "$status" -ne "$want_status" ]; then
    fail "$name: exit status $status, expected $want_status (stderr: $err)"; ok=0
  fi
  if [ "$want_out" = "-" ]; then
    [ -z "$out" ] || { fail "$name: unexpected stdout: $out"; ok=0; }
  elif [ -n "$want_out" ] && [ "$out" != "$want_out" ]; then
    fail "$name: stdout was: $out"$'\n'"      expected: $want_out"; ok=0
  fi
  if [ "$want_err" = "-" ]; then
    [ -z "$err" ] || { fail "$name: unexpected stderr: $err"; ok=0; }
  elif [ -n "$want_err" ] && [[ "$err" != *"$want_err"* ]]; then
    fail "$name: stderr lacks '$want_err'; it was: $err"; ok=0
  fi
  [ "$ok" -eq 1 ] && passed=$((passed + 1))
}

run $'show demo Name\ntype txtGain12 -4\nshow txtGain12 String\nshow pdMode String\nshow chkActive Value\n' \
  --layouts "$layouts" --open demo
expect "a layout driven from standard input" 0 \
  $'window opened "Demo & Test"\nshow demo Name: Demo & Test\nshow txtGain12 String: -4\nshow pdMode String: Slotted|Unmodulated\nshow chkActive Value: 1' -

printf 'show demo Name\n' >"$work/script.txt"
"$tolvane" app --script "$work/script.txt" --layouts "$layouts" --open demo.ui >"$work/out" 2>"$work/err"
status=$?; out="$(cat "$work/out")"; err="$(cat "$work/err")"
expect "a script file" 0 $'window opened "Demo & Test"\nshow demo Name: Demo & Test' -

run $'# the slot setup window opens from the main window only\nwindow slot\n'
started=$'window opened "Tolvane"\nwindow closed "Tolvane"\nwindow opened "Veltran Sonvale - 1xEV Forward Link"'
expect "a closed window" 2 "$started" "line 2: the slot setup window is not open"

run $'show rpc Name\n'
expect "a closed window's title" 2 "$started" "line 1: unknown tag 'rpc' (the RPC setup window is not open)"

run $'show demo Name\npress pbNope\n' --layouts "$layouts" --open demo
expect "an unknown tag" 2 $'window opened "Demo & Test"\nshow demo Name: Demo & Test' "line 2:"

run $'answer Yes\n' --layouts "$layouts" --open demo
expect "an answer no dialog takes" 2 "" "line 1: no dialog came"

run "$(head -c 5000 /dev/zero | tr '\0' x)" --layouts "$layouts" --open demo
expect "a line too long" 2 - "line 1: the line is longer than 4096 characters"

run $'show demo Name\n' --layouts "$layouts" --open nowhere
expect "a missing layout" 1 - "was not found"

"$tolvane" app --script "$work/missing.txt" >"$work/out" 2>"$work/err"
status=$?; out="$(cat "$work/out")"; err="$(cat "$work/err")"
expect "a missing script" 2 - "cannot read the script"

"$tolvane" app >"$work/out" 2>"$work/err"
status=$?; out="$(cat "$work/out")"; err="$(cat "$work/err")"
expect "no script" 2 - "--script"

# The traffic-packet mode end to end in the windows: Mode 3, a 64-slot frame,
# Packet Setup filled with DRC 12, Calculate, then the parameter file saved
# and opened again after File > New.
run "select pdMode 3
type txtFrameSlots 64
press pbPacketSetup
select pdDRC 12
type txtMacIndex 7
press pbFill
show txtOccupancy String
press pbOK
press pbCalculate
show txtStatus String
file $work/packets.mat
menu menuFileSaveAs
menu menuFileNew
show pdMode Value
show txtFrameSlots String
file $work/packets.mat
menu menuFileOpen
show pdMode Value
show txtFrameSlots String
show txtNumberOfSamples String
press pbPacketSetup
show txtOccupancy String
show lstPackets Value
show txtMacIndex String
press pbCancel
"
status_line=$(printf '%s\n' "$out" | grep '^show txtStatus String: ')
out=$(printf '%s\n' "$out" | grep -v '^show txtStatus String: ' | sed -n '/^window opened "Packet Setup/,$p')
expect "packets set up, calculated, saved and opened again" 0 \
"window opened \"Packet Setup: 64 Slots\"
show txtOccupancy String: Interlaces 1-4: 16/16, 16/16, 16/16, 16/16 slots occupied
window closed \"Packet Setup: 64 Slots\"
dialog file \"Save Parameter File As\": *.mat [Save|Cancel]
show pdMode Value: 1
show txtFrameSlots String: 16
dialog file \"Open Parameter File\": *.mat [Open|Cancel]
show pdMode Value: 3
show txtFrameSlots String: 64
show txtNumberOfSamples String: 655360 Samples
window opened \"Packet Setup: 64 Slots\"
show txtOccupancy String: Interlaces 1-4: 16/16, 16/16, 16/16, 16/16 slots occupied
show lstPackets Value: 1
show txtMacIndex String: 7
window closed \"Packet Setup: 64 Slots\"" -
[[ $status_line =~ ^show\ txtStatus\ String:\ Calculated\ 655\ 360\ samples\ at\ 6\.144\ MHz\ in\ [0-9]+\.[0-9]{2}\ s$ ]] ||
  fail "the status after Calculate: $status_line"
/usr/bin/python3 -c "
import scipy.io as s
p = s.loadmat('$work/packets.mat', squeeze_me=True)['fileParameters']
assert int(p['Mode']) == 3 and int(p['FrameSlots']) == 64, (p['Mode'], p['FrameSlots'])
rows = p['Packets'].item()
assert rows.shape == (64, 3), rows.shape
assert list(rows[:, 0]) == list(range(1, 65)) and set(rows[:, 1]) == {12} and set(rows[:, 2]) == {7}
" || fail "the saved parameter file's packet table"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
