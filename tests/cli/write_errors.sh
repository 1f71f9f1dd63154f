#!/usr/bin/env bash
# A write that cannot be done names the file the user asked for (never the
# temporary file beside it) and the reason, on the command line and in the
# windows' save dialogs' errors; nothing is left behind.
set -uo pipefail
tolvane=$1
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$w" || fail "cd"
mkdir folder.mat
: > plain

# expect_write_error OUT MESSAGE ARGS...: generate fails with exit 1 and
# exactly "tolvane generate: MESSAGE".
expect_write_error() {
  local want=$1; shift
  local err code
  err=$("$tolvane" generate "$@" 2>&1 >/dev/null); code=$?
  [ $code -eq 1 ] || fail "exit $code (want 1) for: $* ($err)"
  [ "$err" = "tolvane generate: $want" ] || fail "for $*: message '$err', want 'tolvane generate: $want'"
}
expect_write_error 'Cannot write "nope/a.mat": the folder "nope" does not exist.' --out nope/a.mat
expect_write_error 'Cannot write "nope/a.bin": the folder "nope" does not exist.' --out nope/a.bin
expect_write_error 'Cannot write "nope/a.sigmf-meta": the folder "nope" does not exist.' --out nope/a.sigmf-meta
expect_write_error 'Cannot write "plain/a.mat": "plain" is not a folder.' --out plain/a.mat
expect_write_error 'Cannot write "folder.mat": it is a folder.' --out folder.mat
expect_write_error 'Cannot write "nope/p.mat": the folder "nope" does not exist.' --out a.bin --save-params nope/p.mat
[ ! -e a.bin ] || fail "a failed --save-params left --out written"

# The windows: Save As, Export Data and the special saves (MAT and the
# instrument file) into a folder that does not exist.
out=$(printf '%s\n' "press pbCalculate" "file nope/p.mat" "menu menuFileSaveAs" \
        "file nope/r.sigmf-meta" "menu menuFileExportData" \
        "file nope/mivolta.w.mat" "answer MAT" "menu menuFileSaveAs" \
        "file nope/mivolta.w.bin" "answer Ironmoth" "menu menuFileSaveAs" | "$tolvane" app --script - 2>&1) ||
  fail "tolvane app: $out"
for target in nope/w.mat nope/w.bin; do
  grep -qxF "dialog error \"Error Saving $target\": Cannot write \"$target\": the folder \"nope\" does not exist. [OK]" \
    <<<"$out" || fail "special save error for $target: $out"
done
grep -qxF 'dialog error "Error Saving nope/p.mat": Cannot write "nope/p.mat": the folder "nope" does not exist. [OK]' \
  <<<"$out" || fail "Save As error: $out"
grep -qxF 'dialog error "Error Saving nope/r.sigmf-meta": Cannot write "nope/r.sigmf-meta": the folder "nope" does not exist. [OK]' \
  <<<"$out" || fail "Export Data error: $out"
[[ $out != *.tmp* ]] || fail "a message names a temporary file: $out"
[ -z "$(find . -name '*.tmp')" ] || fail "temporary files left behind"
echo "write errors: ok"
