#!/usr/bin/env bash
# tolvane app --platform qt: the same scripts on the Qt widgets (off screen)
# print the same transcripts as on the headless platform.
# Usage: app_qt.sh PATH-TO-TOLVANE
set -u
tolvane="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
layouts="$(cd "$(dirname "$0")/../app/data" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The application saves its connection in the working directory at exit.
cd "$work" || exit 1
export QT_QPA_PLATFORM=offscreen
failed=0
passed=0

fail() {
  echo "FAIL: $*" >&2
  failed=$((failed + 1))
}

# run PLATFORM SCRIPT-TEXT ARGS...: the script on standard input; the
# transcript in $work/PLATFORM.out.
run() {
  local platform="$1" script="$2"
  shift 2
  printf '%s' "$script" | "$tolvane" app --platform "$platform" --script - "$@" \
    >"$work/$platform.out" 2>"$work/$platform.err"
  status=$?
  out="$(cat "$work/$platform.out")"
  err="$(cat "$work/$platform.err")"
}

# A build without the Qt front end refuses the platform, and there is nothing more to check.
run qt ''
if [ "$status" -ne 0 ] && [[ "$err" == *"no Qt front end"* ]]; then
  echo "app_qt: this build has no Qt front end; skipped"
  exit 0
fi

demo=$'show demo Name\ntype txtGain12 -4\nshow txtGain12 String\nselect pdMode 1\nshow pdMode Value\nshow pdMode String\n'
demo+=$'check chkActive 0\nshow chkActive Value\nshow pbDisabled Enable\nshow pbOpen Position\n'
run qt "$demo" --layouts "$layouts" --open demo
want=$'window opened "Demo & Test"\nshow demo Name: Demo & Test\nshow txtGain12 String: -4\nshow pdMode Value: 1'
want+=$'\nshow pdMode String: Slotted|Unmodulated\nshow chkActive Value: 0\nshow pbDisabled Enable: off'
want+=$'\nshow pbOpen Position: [10 250 80 24]'
if [ "$status" -eq 0 ] && [ "$out" = "$want" ] && [ -z "$err" ]; then
  passed=$((passed + 1))
else
  fail "a layout on the Qt widgets: status $status, stdout: $out"$'\n'"stderr: $err"
fi

# The application itself: start, About, Calculate, a plot request, Exit.
app=$'show main Name\nmenu menuHelpAbout\nclose\nshow pbCalculate TooltipString\npress pbCalculate\n'
app+=$'show txtNumberOfSamples String\nmenu menuPlotCCDF\nmenu menuFileExit\n'
# The display titles carry the time of the request: that may differ by a second.
untimed() { sed -E 's/\([0-9]{1,2}[A-Z]{3}[0-9]{4} [0-9]{1,2}:[0-9]{2}:[0-9]{2}\)/(TIME)/' "$1"; }
run headless "$app"
headless_status=$status
untimed "$work/headless.out" >"$work/headless.untimed"
run qt "$app"
untimed "$work/qt.out" >"$work/qt.untimed"
if [ "$status" -eq 0 ] && [ "$headless_status" -eq 0 ] && [ -s "$work/qt.out" ] &&
  cmp -s "$work/headless.untimed" "$work/qt.untimed" && [ -z "$err" ]; then
  passed=$((passed + 1))
else
  fail "the application: Qt status $status, headless status $headless_status; stderr: $err"
  diff "$work/headless.untimed" "$work/qt.untimed" >&2
fi

# A fault of the script ends the Qt run with its line, as on the headless platform.
run qt $'show demo Name\npress pbOpen\npress pbNope\n' --layouts "$layouts" --open demo
if [ "$status" -eq 2 ] && [[ "$err" == *"line 3:"*"pbNope"* ]]; then
  passed=$((passed + 1))
else
  fail "a fault inside a modal wait: status $status, stderr: $err"
fi

# A day in the lab on both platforms: slots set up, calculated, saved and
# opened again, connected to the simulated instrument, downloaded, every
# display of the Plot menu looked at, exit. The two transcripts agree, and
# the Qt run sees the download succeed.
export TOLVANE_CORRECTION_DIR="$work/corrections"
mkdir -p "$work/corrections" "$work/headless" "$work/qt"
"$tolvane" sim --port 0 --lifetime 120 >"$work/sim.out" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q '^listening on' "$work/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/sim.out")
day=$'type txtOversampling 4\ncheck chkDATAchnActive 1\ncheck chkMACchnActive 1\npress pbSlotSetup\nselect pldDATAmod 3\n'
day+=$'press pbOK\ntype txtFrequency 1.9\ntype txtAmplitude -20\ntype txtWaveformTitle day wave\npress pbAdvancedSettings\n'
day+=$'type txtScaling 80\npress pbOK\npress pbCalculate\nfile ./day\nmenu menuFileSaveAs\nmenu menuFileNew\n'
day+=$'file ./day.mat\nmenu menuFileOpen\nshow txtWaveformTitle String\nmenu menuConfigSigGenIO\nselect pmConnection 2\n'
day+="type editTCPIPAddress 127.0.0.1:$port"
day+=$'\npress pbOK\npress pbDownload\nmenu menuPlotCCDF\nmenu menuPlotSpectrum\nmenu menuPlotIQTime\n'
day+=$'menu menuPlotIQTimeSameAxes\nmenu menuFileExit\n'
if [ -z "$port" ]; then
  fail "the simulator did not start: $(cat "$work/sim.out")"
else
  for platform in headless qt; do
    (cd "$work/$platform" && printf '%s' "$day" | "$tolvane" app --platform "$platform" --script - \
      >"$work/day.$platform" 2>"$work/day.$platform.err")
    echo $? >"$work/day.$platform.status"
    untimed "$work/day.$platform" >"$work/day.$platform.untimed"
  done
  if [ "$(cat "$work/day.headless.status")" = 0 ] && [ "$(cat "$work/day.qt.status")" = 0 ] &&
    cmp -s "$work/day.headless.untimed" "$work/day.qt.untimed" && [ ! -s "$work/day.qt.err" ] &&
    grep -qxF 'dialog message "Download Completed": Waveform has been successfully transferred to the instrument [OK]' \
      "$work/day.qt" &&
    [ "$(grep -c '^window opened "\(CCDF\|Magnitude Spectrum\|I(t) Q(t)\) ' "$work/day.qt")" = 4 ]; then
    passed=$((passed + 1))
  else
    fail "a day on both platforms: status $(cat "$work/day.headless.status") and $(cat "$work/day.qt.status"); $(cat "$work/day.qt.err")"
    diff "$work/day.headless.untimed" "$work/day.qt.untimed" >&2
    cat "$work/day.qt" >&2
  fi
fi

echo "app_qt: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
