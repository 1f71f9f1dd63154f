#!/usr/bin/env bash
# The SigMF recording, exported from the window (File > Export Data, through
# tolvane app) and from the command line (tolvane generate --out
# NAME.sigmf-meta): every field that depends on the oversampling describes
# the exported samples, both byte orders hold the same words, and the two
# front ends write the same recording.
set -uo pipefail
tolvane=$1
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
py() { /usr/bin/python3 -c "$1" || fail "python check: $2"; }
app() { printf '%s\n' "$@" | "$tolvane" app --script - >"$w/transcript" 2>&1 || fail "tolvane app: $(cat "$w/transcript")"; }

# The window at oversampling 30 (the generator settings still say 5), both
# filters of the export dialog after one calculation.
app "type txtOversampling 30" "press pbCalculate" \
    "file $w/desk.sigmf-meta" "menu menuFileExportData" \
    "file filter 2 $w/deskbe.sigmf-meta" "menu menuFileExportData"
py "
import json, numpy as np
m = json.load(open('$w/desk.sigmf-meta'))
g = m['global']; os_ = 30; n = 32768 * os_; rate = 1228800 * os_
assert g['core:datatype'] == 'ci16_le', g['core:datatype']
assert g['core:sample_rate'] == rate, g['core:sample_rate']
assert g['core:description'].endswith(', 30 samples per chip'), g['core:description']
gen = g['tolvane:generator']
assert gen['OverSampling'] == os_, ('tolvane:generator.OverSampling', gen['OverSampling'])
assert gen['SamplingRate'] == rate, ('tolvane:generator.SamplingRate', gen['SamplingRate'])
a = m['annotations']
p = a[0]['tolvane:parameters']
assert p['OverSampling'] == os_ and p['ProjectedLength'] == n, (p['OverSampling'], p['ProjectedLength'])
assert a[0]['core:sample_count'] == n
assert len(a) == 17 and all(a[i]['core:sample_start'] == (i - 1) * n // 16 and a[i]['core:sample_count'] == n // 16
                            for i in range(1, 17))
le = np.fromfile('$w/desk.sigmf-data', '<i2')
assert le.size == 2 * n and np.abs(le).max() == 32767
b = json.load(open('$w/deskbe.sigmf-meta'))
assert b['global']['core:datatype'] == 'ci16_be'
del m['global']['core:datatype'], b['global']['core:datatype']
for x in (m, b): x['captures'][0].pop('core:datetime')
assert m == b, 'the two byte orders differ in more than the datatype'
be = np.fromfile('$w/deskbe.sigmf-data', '>i2')
assert np.array_equal(le, be), 'the big-endian words are not the same words'
assert not np.array_equal(le.view(np.uint8), be.view(np.uint8)), 'the bytes were not swapped'
" "window export at oversampling 30"

# The command line writes the same recording as the window (idle noise off,
# so both calculate the same samples); ci16_be on request.
app "type txtOversampling 3" "check chkIdleSlotGainActive 0" "press pbCalculate" \
    "file $w/window.sigmf-meta" "menu menuFileExportData"
line=$("$tolvane" generate --set OverSampling=3 --set IdleSlotGainActive=0 --out "$w/cli.sigmf-meta") ||
  fail "generate --out NAME.sigmf-meta"
[[ $line == "98304 samples at 3.6864 MHz, PAPR "*" -> $w/cli.sigmf-meta" ]] || fail "summary line: $line"
cmp -s "$w/window.sigmf-data" "$w/cli.sigmf-data" || fail "the command line's samples differ from the window's"
"$tolvane" generate --set OverSampling=3 --set IdleSlotGainActive=0 --sigmf-datatype ci16_be \
  --out "$w/clibe.sigmf-data" >/dev/null || fail "generate --sigmf-datatype ci16_be"
py "
import json, numpy as np
def meta(name):
    m = json.load(open('$w/' + name + '.sigmf-meta'))
    m['captures'][0].pop('core:datetime')
    return m
assert meta('window') == meta('cli'), 'the command line metadata differs from the window'
be = meta('clibe')
assert be['global'].pop('core:datatype') == 'ci16_be'
cli = meta('cli'); cli['global'].pop('core:datatype')
assert be == cli
assert np.array_equal(np.fromfile('$w/cli.sigmf-data', '<i2'), np.fromfile('$w/clibe.sigmf-data', '>i2'))
" "command line and window recordings"

# Refusals: exit 2, nothing written.
expect_refusal() {
  local want=$1; shift
  local err code
  err=$("$tolvane" generate "$@" 2>&1 >/dev/null); code=$?
  [ $code -eq 2 ] || fail "exit $code (want 2) for: $* ($err)"
  [[ $err == *"$want"* ]] || fail "message '$err' lacks '$want'"
}
expect_refusal '--sigmf-datatype "ci16" must be ci16_le or ci16_be.' --sigmf-datatype ci16 --out "$w/r.sigmf-meta"
expect_refusal '--sigmf-datatype applies only to a SigMF recording' --sigmf-datatype ci16_be --out "$w/r.mat"
expect_refusal 'or .sigmf-meta (SigMF recording)' --out "$w/r.sigmf"
"$tolvane" generate --save-params "$w/p.mat" --out "$w/p.bin" >/dev/null || fail "parameter file"
cp "$w/p.mat" "$w/in.sigmf-data"
expect_refusal '--out "'"$w"'/in.sigmf-data" is the file given to --params' --params "$w/in.sigmf-data" \
  --out "$w/in.sigmf-meta"
[ ! -e "$w/r.sigmf-meta" ] && [ ! -e "$w/r.sigmf-data" ] && [ ! -e "$w/in.sigmf-meta" ] ||
  fail "a refused run wrote a recording"
echo "sigmf export: ok"
