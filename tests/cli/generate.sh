#!/usr/bin/env bash
# tolvane generate end to end: outputs, reproducibility, parameter files,
# user data and the refusals of bad input.
set -uo pipefail
tolvane=$1
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
py() { /usr/bin/python3 -c "$1" || fail "python check: $2"; }

# Default frame: 163 840 samples at 6.144 MHz, and the MAT variables.
line=$("$tolvane" generate --out "$w/default.mat") || fail "default generate"
[[ $line == "163840 samples at 6.144 MHz, PAPR "* ]] || fail "summary line: $line"
py "
import scipy.io as s, numpy as np
m = s.loadmat('$w/default.mat')
assert m['waveform'].shape == (1, 163840) and np.iscomplexobj(m['waveform'])
assert m['markers'].shape == (2, 163840)
assert m['sampleRate'][0, 0] == 6144000.0
p = m['parameters'][0, 0]
assert p['ParameterFileFormat_ID'][0] == 'OneX-Fwd - Format 1.2'
assert p['slot'][0, 0]['RPCslotGain'].shape == (16, 59)
" "default MAT contents"

# The same seed gives the same bits; another seed other noise.
"$tolvane" generate --seed 7 --out "$w/a.bin" >/dev/null || fail "seeded run"
"$tolvane" generate --seed 7 --out "$w/b.bin" >/dev/null || fail "seeded run"
"$tolvane" generate --seed 8 --out "$w/c.bin" >/dev/null || fail "seeded run"
cmp -s "$w/a.bin" "$w/b.bin" || fail "same seed, different files"
cmp -s "$w/a.bin" "$w/c.bin" && fail "different seeds, same file"
[ "$(stat -c %s "$w/a.bin")" -eq $((163840 * 4)) ] || fail "bin size"

# Settings, the parameter file written and read back.
"$tolvane" generate --seed 3 --set OverSampling=8 --set MACchnActive=1 --set DATAchnActive=1 \
  --set "slot.DATAslotMod=[3 3 2 2 1 1 1 1 1 1 1 1 1 1 1 2]" --set IdleSlotGain=-20 \
  --out "$w/set.mat" --save-params "$w/params.mat" >/dev/null || fail "run with settings"
"$tolvane" generate --seed 3 --params "$w/params.mat" --out "$w/again.mat" >/dev/null || fail "run from params"
py "
import scipy.io as s, numpy as np
a = s.loadmat('$w/set.mat'); b = s.loadmat('$w/again.mat')
assert a['waveform'].shape == (1, 262144)
assert np.array_equal(a['waveform'], b['waveform'])
q = s.loadmat('$w/params.mat')
assert set(['fileParameters', 'sigGenParameters', 'filename']) <= set(q)
assert q['sigGenParameters'][0, 0]['SamplingRate'][0, 0] == 1228800 * 8
assert q['filename'][0] == '$w/params.mat'
" "settings and parameter file round trip"

# Bad input: exit 2, a message naming the field or file, nothing written.
expect_refusal() {
  local want=$1; shift
  local err
  err=$("$tolvane" generate "$@" --out "$w/refused.mat" 2>&1 >/dev/null)
  local code=$?
  [ $code -eq 2 ] || fail "exit $code (want 2) for: $* ($err)"
  [[ $err == *"$want"* ]] || fail "message '$err' lacks '$want'"
  [ ! -e "$w/refused.mat" ] || fail "a refused run wrote its output"
}
expect_refusal '"Bogus" is not a field' --set Bogus=1
expect_refusal 'whole numbers 2 to 30' --set OverSampling=31
expect_refusal 'numbers -30 to 30' --set slot.RAslotGain=45
expect_refusal '16 x 1' --set "slot.DATAslotMod=[1 2]"
expect_refusal 'NAME=VALUE' --set OverSampling
expect_refusal 'not a number or matrix literal' --set "IdleSlotGain=abc"
expect_refusal "$w/missing.bin" --data-file "$w/missing.bin"
: > "$w/empty.bin"
expect_refusal 'is empty' --data-file "$w/empty.bin"
expect_refusal '--data-file' --set DATAsourceType=7
expect_refusal 'has an Invalid File Format.' --params "$w/set.mat"
py "
import scipy.io as s
s.savemat('$w/other.mat', {'fileParameters': {'ParameterFileFormat_ID': 'Other - Format 9'}})
" "making a foreign parameter file"
expect_refusal 'has an Invalid File Parameter ID.' --params "$w/other.mat"
expect_refusal "$w/nothing.mat" --params "$w/nothing.mat"
err=$("$tolvane" generate --out "$w/x.txt" 2>&1 >/dev/null); [ $? -eq 2 ] || fail "bad extension accepted"

# User data bits select source 7 and reach the traffic chain.
printf '\x0f\xf0\x55' > "$w/user.bin"
"$tolvane" generate --seed 1 --data-file "$w/user.bin" --bit-order left-msb --set DATAchnActive=1 \
  --out "$w/user.mat" >/dev/null || fail "user data run"
py "
import scipy.io as s, numpy as np
p = s.loadmat('$w/user.mat')['parameters'][0, 0]
assert p['DATAsourceType'][0, 0] == 7
assert list(p['dataSourceBitstream'][0]) == [0,0,0,0,1,1,1,1, 1,1,1,1,0,0,0,0, 0,1,0,1,0,1,0,1]
" "user data bits in the record"

echo "generate: all checks passed"
