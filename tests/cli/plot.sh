#!/usr/bin/env bash
# tolvane plot: every display into an image without a screen, the options
# of the eye and scatter displays, and the refusals of bad input. Skipped
# when the program was built without the Qt front end.
set -uo pipefail
tolvane=$1
if ! "$tolvane" --help | grep -q '^  plot'; then
  echo "skip: this tolvane has no plot command (built without Qt)"
  exit 0
fi
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# PNG width and height from the IHDR chunk.
png_size() { /usr/bin/python3 -c "
import struct, sys
d = open(sys.argv[1], 'rb').read(24)
assert d[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
print('%dx%d' % struct.unpack('>II', d[16:24]))" "$1"; }

# No screen and no platform chosen: the command draws offscreen by itself.
for kind in ccdf spectrum iq iq-overlay eye scatter waterfall; do
  line=$(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$tolvane" plot "$kind" --seed 1 --out "$w/$kind.png") \
    || fail "plot $kind"
  [ "$(png_size "$w/$kind.png")" = "800x600" ] || fail "$kind: default size"
  [[ $line == *" 1xEV Forward Link ("*"): 163840 samples -> $w/$kind.png" ]] || fail "$kind summary: $line"
done
[[ $("$tolvane" plot ccdf --seed 1 --out "$w/c.png") == "CCDF 1xEV Forward Link ("* ]] || fail "ccdf window name"

# Code-domain power: the frame analysed by the receiver, its PN offset found.
line=$("$tolvane" plot cdp --set DATAchnActive=1 --set MACchnActive=1 --set PilotOffsetIndex=301 --out "$w/cdp.png") \
  || fail "plot cdp"
[ "$(png_size "$w/cdp.png")" = "800x600" ] || fail "cdp: default size"
[[ $line == "Code Domain Power 1xEV Forward Link ("*"): PN offset 301, rho "*" -> $w/cdp.png" ]] || fail "cdp summary: $line"

# Other formats and sizes; the generate options shape the waveform.
"$tolvane" plot spectrum --set OverSampling=8 --width 400 --height 300 --out "$w/s.png" >/dev/null || fail "size"
[ "$(png_size "$w/s.png")" = "400x300" ] || fail "400x300"
"$tolvane" plot ccdf --out "$w/c.PDF" >/dev/null || fail "pdf"
head -c 5 "$w/c.PDF" | grep -q '%PDF-' || fail "pdf header"
"$tolvane" plot scatter --trace 0 --delay 0.4 --out "$w/s.svg" >/dev/null || fail "svg"
grep -q '<svg' "$w/s.svg" || fail "svg content"
# More symbols than the waveform holds are cut to the waveform; with a delay
# on top no whole trace is left, which is reported as the Plot Error is.
"$tolvane" plot eye --symbols 1e9 --delay -1 --out "$w/e.png" >/dev/null || fail "eye clamps"
err=$("$tolvane" plot eye --symbols 1e9 --delay 2 --out "$w/e2.png" 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "eye without a trace: exit status"
[[ $err == "tolvane plot: Unable to Plot Eye Diagram"$'\n'"The waveform has 163840 samples"* ]] || fail "eye error: $err"
[ ! -e "$w/e2.png" ] || fail "image of a failed eye diagram"
"$tolvane" plot waterfall --save-params "$w/p.mat" --out "$w/wf.png" >/dev/null || fail "save params"
[ -s "$w/p.mat" ] || fail "parameters written"

# Refusals: exit 2, a message, no image.
refuse() {
  local want=$1; shift
  local err
  err=$("$tolvane" plot "$@" 2>&1 >/dev/null)
  local rc=$?
  [ $rc -eq 2 ] || fail "plot $*: exit $rc"
  [[ $err == *"$want"* ]] || fail "plot $*: message \"$err\""
}
refuse 'must be one of ccdf' bogus --out "$w/x.png"
refuse 'must end in .png, .pdf or .svg' ccdf --out "$w/x.jpg"
refuse '--out is required' ccdf
refuse 'OverSampling' ccdf --set OverSampling=1000 --out "$w/x.png"
refuse 'finite' eye --symbols nan --out "$w/x.png"
printf 'AB' > "$w/bits.png"
refuse 'names a file' ccdf --data-file "$w/bits.png" --out "$w/bits.png"
[ "$(cat "$w/bits.png")" = "AB" ] || fail "input overwritten"
[ ! -e "$w/x.png" ] || fail "image written despite refusal"
echo "ok"
