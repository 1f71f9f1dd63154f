#!/usr/bin/env bash
# tolvane call and the command dispatcher, run as a user would.
# Usage: call_test.sh PATH-TO-TOLVANE
set -u
tolvane="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
passed=0

fail() {
  echo "FAIL: $*" >&2
  failed=$((failed + 1))
}

# run ARGS...: runs tolvane, keeping stdout, stderr and the exit status.
run() {
  "$tolvane" "$@" >"$work/out" 2>"$work/err"
  status=$?
  out="$(cat "$work/out")"
  err="$(cat "$work/err")"
}

# expect NAME STATUS STDOUT STDERR-FRAGMENT: checks the last run. An empty
# STDOUT or fragment means "not checked"; "-" means "must be empty".
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

# The count message is the whole of stderr.
run call PNgenerator 9 20 0 1 0 0
expect "inputs message" 1 - ""
[ "$err" = 'Run-time Error: File: PNgenerator Line: 1 Column: 1 The function "PNgenerator" was called with more than the declared number of inputs (5).' ] \
  || fail "inputs message text: $err"

run call --nargout 2 GenerateBitStream 5 20
expect "outputs message" 1 - 'The function "GenerateBitStream" was called with more than the declared number of outputs (1).'

# PN9: nine ones, then x(i) = x(i-9) xor x(i-5).
run call GenerateBitStream 5 20
expect "PN9 bits" 0 "[[1,1,1,1,1,1,1,1,1,0,0,0,0,0,1,1,1,1,0,1]]" -

run call GenerateBitStream 9 5
expect "unassigned output" 0 "[null]" '"bits"'
[[ "$err" == *'"GenerateBitStream"'* ]] || fail "unassigned output warning does not name the function: $err"

# Negative numbers are arguments; complex results print as re/im.
run call OneX_FwdIdleSlot 1 -10 4
expect "negative argument" 0 "" -
[[ "$out" =~ ^\[\{\"re\":\[[^],]+(,[^],]+){3}\],\"im\":\[[^],]+(,[^],]+){3}\]\}\]$ ]] \
  || fail "complex output shape: $out"

# --nargout may follow the name; K = 0 still prints the first output.
run call GenerateBitStream --nargout 0 4 3
expect "nargout after the name" 0 "[[1,0,1]]" -

# Full precision and non-finite numbers both ways.
run call extendVector '[0.1,"NaN",-1e-300]' 5
expect "precision and NaN" 0 '[[0.1,"NaN",-1e-300,0.1,"NaN"]]' -

# An argument read from a file.
printf '[[1, 0, 1]]\n' >"$work/pattern.json"
run call extendVector "@$work/pattern.json" 7
expect "@file argument" 0 "[[1,0,1,1,0,1,1]]" -

run call extendVector "@$work/missing.json" 7
expect "@file missing" 2 - "argument 1 (@$work/missing.json)"

run call GenerateBitStream 5 '[1,2'
expect "malformed JSON" 2 - "argument 2 ([1,2)"

run call GenerateBitStream 5 bits
expect "bare word" 2 - "argument 2 (bits)"

run call NoSuchFunction 1
expect "unknown function" 1 - '"NoSuchFunction"'

run call --nargout -1 GenerateBitStream 5 3
expect "negative nargout" 2 - "--nargout"

run call
expect "call without a name" 2 - "usage: tolvane call"

run call --help
expect "call --help" 0 "" -
[[ "$out" == *"usage: tolvane call NAME"* ]] || fail "call --help prints no usage"

run
expect "no command" 2 - "usage: tolvane"

run frobnicate
expect "unknown command" 2 - "unknown command 'frobnicate'"

run --help
expect "--help" 0 "" -
[[ "$out" == *"usage: tolvane"* && "$out" == *"call"* ]] || fail "--help lists no commands"

# A function that declares no outputs is asked for none by default; asking
# it for one is still the outputs error.
run call OneX_Fwd_GUI_c/InitializeParameters
expect "no outputs, default --nargout" 0 "[null]" -
run call --nargout 1 OneX_Fwd_GUI_c/InitializeParameters
expect "no outputs, --nargout 1" 1 - "more than the declared number of outputs (0)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
