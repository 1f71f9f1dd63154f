#!/usr/bin/env bash
# tolvane app --platform qt: the same scripts on the Qt widgets (off screen)
# print the same transcripts as on the headless platform.
# Usage: app_qt.sh PATH-TO-TOLVANE
set -u
tolvane="$1"
layouts="$(cd "$(dirname "$0")/../app/data" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
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
run headless "$app"
headless_status=$status
run qt "$app"
if [ "$status" -eq 0 ] && [ "$headless_status" -eq 0 ] && [ -s "$work/qt.out" ] &&
  cmp -s "$work/headless.out" "$work/qt.out" && [ -z "$err" ]; then
  passed=$((passed + 1))
else
  fail "the application: Qt status $status, headless status $headless_status; stderr: $err"
  diff "$work/headless.out" "$work/qt.out" >&2
fi

# A fault of the script ends the Qt run with its line, as on the headless platform.
run qt $'show demo Name\npress pbOpen\npress pbNope\n' --layouts "$layouts" --open demo
if [ "$status" -eq 2 ] && [[ "$err" == *"line 3:"*"pbNope"* ]]; then
  passed=$((passed + 1))
else
  fail "a fault inside a modal wait: status $status, stderr: $err"
fi

echo "app_qt: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
