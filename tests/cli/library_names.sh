#!/usr/bin/env bash
# Every listed library function answers by name in the command line, and the
# window entries run on the headless platform or say what they need.
# Usage: library_names.sh PATH-TO-TOLVANE
set -u
tolvane="$1"
names="$(dirname "$0")/../data/library_names.txt"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0

fail() {
  echo "FAIL: $*" >&2
  failed=$((failed + 1))
}

run() {
  "$tolvane" call "$@" >"$work/out" 2>"$work/err"
  status=$?
  out="$(cat "$work/out")"
  err="$(cat "$work/err")"
}

# check NAME STATUS STDOUT STDERR-FRAGMENT (empty: not checked).
check() {
  if [ "$status" -ne "$2" ]; then fail "$1: exit status $status, expected $2 (stderr: $err)"; return; fi
  if [ -n "$3" ] && [ "$out" != "$3" ]; then fail "$1: printed '$out', expected '$3'"; fi
  if [ -n "$4" ] && [[ "$err" != *"$4"* ]]; then fail "$1: stderr '$err' lacks '$4'"; fi
}

# Registered: asking for more outputs than any function declares stops at the
# count check, before the body runs, with the function's own message.
count=0
while read -r name; do
  case "$name" in ''|'#'*) continue ;; esac
  count=$((count + 1))
  run --nargout 64 "$name"
  check "$name registered" 1 "" "The function \"$name\" was called with more than the declared number of outputs"
done <"$names"
[ "$count" -eq 94 ] || fail "the name table holds $count names, not 94"

# Names that need no window.
run compareStruct '{"a":1,"b":{"c":"NaN"}}' '{"a":1,"b":{"c":"NaN"}}'
check "compareStruct equal" 0 "[1]" ""
run compareStruct '{"a":1,"b":2}' '{"b":2,"a":1}'
check "compareStruct field order" 0 "[0]" ""
run getTagIndex '"row3col07"'
check "getTagIndex" 0 "[7]" ""
run getTagIndex 12
check "getTagIndex of a number" 1 "" "must be a text"
run rfCommonUI '"addFileExtention"' '"setup"' '".mat"'
check "addFileExtention" 0 '["setup.mat"]' ""
run rfCommonUI '"addFileExtention"' '"setup.mat"' '".mat"'
check "addFileExtention kept" 0 '["setup.mat"]' ""
run --nargout 3 docopt
check "docopt" 0 '["xdg-open","",""]' ""

# Window entries on the headless platform: each returns its window.
run QV_PlotCCDF
check "QV_PlotCCDF" 0 "" ""
[[ "$out" =~ ^\[[0-9]+(\.0)?\]$ ]] || fail "QV_PlotCCDF printed '$out', not a window"
run QV_PlotSpectrum 0 '"x"' 5e6 '{"re":[1,0,-1,0],"im":[0,1,0,-1]}'
check "QV_PlotSpectrum" 0 "" ""
[[ "$out" =~ ^\[[0-9]+(\.0)?\]$ ]] || fail "QV_PlotSpectrum printed '$out', not a window"
run loadFigure '"QV_SigGen"' 0
check "loadFigure" 0 "" ""
[[ "$out" =~ ^\[[0-9]+(\.0)?\]$ ]] || fail "loadFigure printed '$out', not a window"
run loadFigure '"NoSuchLayout"' 0
check "loadFigure of a missing layout" 1 "" "NoSuchLayout"
# An eye that cannot be drawn is reported in the Plot Error dialog.
run QV_PlotEyeDiagram 0 '"x"' '[1,2]' 8
check "QV_PlotEyeDiagram without a whole trace" 0 "[[]]" 'dialog error "Plot Error"'

# What needs the running application, or a display window's menu, says so.
run rfCommonUI '"pbCalculate_Callback"'
check "rfCommonUI outside the application" 1 "" "the application is not running: start it with OneX_Fwd_GUI_c()"
run OneX_Fwd_GUI_SlotSetup 1
check "slot setup outside the application" 1 "" "opening its window needs the application's windows"
run loadUserDataFile
check "loadUserDataFile outside the application" 1 "" "the application is not running"
run QV_Zoom
check "QV_Zoom" 1 "" "use it from the menu of the window it acts on"
run OneX_Fwd_c
check "OneX_Fwd_c" 1 "" "The desktop front end is not part of this program"
# The application starts on the headless platform and returns its main window.
run OneX_Fwd_GUI_c
check "OneX_Fwd_GUI_c" 0 "" ""
[[ "$out" =~ ^\[[0-9]+(\.0)?\]$ ]] || fail "OneX_Fwd_GUI_c printed '$out', not a window"

if [ "$failed" -ne 0 ]; then
  echo "$failed checks failed" >&2
  exit 1
fi
echo "library names: all checks passed"
