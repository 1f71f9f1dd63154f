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

# An unmodulated (constant-envelope) frame fills the 16-bit range too: its
# largest component is written as 32766, not left as words of +-1.
"$tolvane" generate --set Mode=2 --out "$w/mode2.bin" >/dev/null || fail "mode 2 run"
py "
import numpy as np
words = np.frombuffer(open('$w/mode2.bin', 'rb').read(), '>i2')
assert words.size == 2 * 163840 and np.abs(words).max() == 32766, np.abs(words).max()
" "mode 2 words scaled"

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

# Option values that used to be taken silently.
expect_refusal 'must be a whole number from 0 to 18446744073709551615' --seed -1
expect_refusal 'must be a whole number from 0 to 18446744073709551615' --seed 99999999999999999999999
expect_refusal 'must be a whole number from 0 to 18446744073709551615' --seed ""
expect_refusal '--set needs NAME=VALUE, not the option "--out"' --set
expect_refusal '--bit-order "bogus" must be right-msb or left-msb' --bit-order bogus

# Stored records that would give a waveform of NaN or run away: refused at
# load time with the field named (each a copy of a good file, one field off).
"$tolvane" generate --out "$w/base.bin" --save-params "$w/base.mat" >/dev/null || fail "base parameter file"
py "
import scipy.io as s, numpy as np
def variant(name, change):
    m = s.loadmat('$w/base.mat')
    change(m['fileParameters'][0, 0], m)
    s.savemat('$w/' + name + '.mat', {k: v for k, v in m.items() if not k.startswith('__')})
def slot(p): return p['slot'][0, 0]
variant('gain', lambda p, m: slot(p)['RAslotGain'].__setitem__((3, 0), 1e300))
variant('rpcgain', lambda p, m: slot(p)['RPCslotGain'].__setitem__((0, 0), np.nan))
variant('nanbits', lambda p, m: p.__setitem__('dataSourceBitstream', np.array([[0, 1, np.nan]])))
variant('twobits', lambda p, m: p.__setitem__('dataSourceBitstream', np.array([[0, 1, 2]])))
variant('complexmode', lambda p, m: p.__setitem__('Mode', np.array([[1 + 1j]])))
variant('nanlength', lambda p, m: p.__setitem__('ProjectedLength', np.array([[np.nan]])))
variant('neglength', lambda p, m: p.__setitem__('ProjectedLength', np.array([[-5.0]])))
variant('siggen', lambda p, m: m.__setitem__('sigGenParameters', np.array([[3.0]])))
variant('siggenfield', lambda p, m: m['sigGenParameters'][0, 0].__setitem__('Frequency', np.array(['x'])))
" "making damaged parameter files"
expect_refusal 'parameters.slot.RAslotGain value 1e+300 is outside the allowed range (numbers -100 to 100)' --params "$w/gain.mat"
expect_refusal 'parameters.slot.RPCslotGain value NaN' --params "$w/rpcgain.mat"
expect_refusal 'parameters.dataSourceBitstream must hold only the bits 0 and 1, not NaN' --params "$w/nanbits.mat"
expect_refusal 'parameters.dataSourceBitstream must hold only the bits 0 and 1, not 2' --params "$w/twobits.mat"
expect_refusal 'parameters.Mode must be real a numeric scalar, not complex' --params "$w/complexmode.mat"
expect_refusal 'parameters.ProjectedLength value NaN' --params "$w/nanlength.mat"
expect_refusal 'parameters.ProjectedLength value -5' --params "$w/neglength.mat"
expect_refusal 'sigGenParameters must be a record, not double' --params "$w/siggen.mat"
expect_refusal 'sigGenParameters.Frequency must be a finite real number' --params "$w/siggenfield.mat"

# A run writes all of its outputs or none, and never over one of its inputs.
cp "$w/base.mat" "$w/keep.mat"
err=$("$tolvane" generate --params "$w/keep.mat" --out "$w/keep.mat" 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] && [[ $err == *"is the file given to --params"* ]] || fail "output over the input: $code $err"
cmp -s "$w/base.mat" "$w/keep.mat" || fail "the input parameter file was changed"
err=$("$tolvane" generate --out "$w/same.mat" --save-params "$w/same.mat" 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] && [[ $err == *"name the same file"* ]] || fail "two outputs, one file: $code $err"
[ ! -e "$w/same.mat" ] || fail "a refused run wrote its output"
cp "$w/base.bin" "$w/old.bin"
err=$("$tolvane" generate --seed 9 --out "$w/old.bin" --save-params "$w/no/such/folder/p.mat" 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "failing --save-params exit $code"
cmp -s "$w/base.bin" "$w/old.bin" || fail "a failing --save-params left --out replaced"
[ -z "$(find "$w" -name '.*.tmp')" ] || fail "temporary files left behind"

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

# Frame length and packets: --set and --fill-packets, refusals before any work.
expect_refusal 'Packets row 3 (DRC 1 from slot 53) needs slots up to 113; the frame has 64.' \
  --set Mode=3 --set FrameSlots=64 --set "Packets=[1 12 5; 2 12 5; 53 1 5]"
expect_refusal 'whole multiples of 16 from 16 to 128' --set FrameSlots=24
expect_refusal 'Packets row 2: DRC 13 is not a data rate' --set "Packets=[1 12 5; 2 13 5]"
expect_refusal '--fill-packets: DRC 1 needs 64 slots; the frame has 16.' --set Mode=3 --fill-packets 1
expect_refusal 'add --set Mode=3' --fill-packets 12
expect_refusal 'must be DRC or DRC,MAC' --set Mode=3 --fill-packets 12,
"$tolvane" generate --seed 1 --set Mode=3 --set FrameSlots=32 --set OverSampling=2 --fill-packets 2,2 \
  --save-params "$w/packets_params.mat" --out "$w/packets.mat" >/dev/null || fail "packet run"
"$tolvane" generate --seed 1 --params "$w/packets_params.mat" --out "$w/packets_again.mat" >/dev/null ||
  fail "packet run from its parameter file"
py "
import scipy.io as s, numpy as np
a, b = s.loadmat('$w/packets.mat'), s.loadmat('$w/packets_again.mat')
assert a['waveform'].shape == (1, 32 * 2048 * 2)
assert np.array_equal(a['waveform'], b['waveform'])
p = a['parameters'][0, 0]
assert p['FrameSlots'][0, 0] == 32 and p['ProjectedLength'][0, 0] == 32 * 2048 * 2
assert p['Packets'].tolist() == [[1, 2, 2], [2, 2, 2], [3, 2, 2], [4, 2, 2]]
k = a['packets']
assert k.shape == (1, 4) and k.dtype.names == ('startSlot', 'slots', 'drc', 'macIndex', 'payload', 'fcs')
assert k[0, 3]['slots'].tolist() == [[4, 8, 12, 16, 20, 24, 28, 32]] and k[0, 3]['payload'].shape == (1, 1002)
" "packets and frame length in the outputs and the parameter file"

echo "generate: all checks passed"
