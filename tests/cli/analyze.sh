#!/usr/bin/env bash
# tolvane analyze: frames written by tolvane generate in each recording
# format (.mat, .bin, SigMF in both byte orders) come back with their PN
# offset and a rho near one; damaged and hostile files and bad options are
# refused with exit code 2 and a message naming the file or option; a
# recording without a pilot says so with exit code 1 and prints no numbers.
set -uo pipefail
tolvane=$1
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
py() { /usr/bin/python3 -c "$1" || fail "python check: $2"; }

# One frame with MAC and data on, PN offset 137, 2 samples per chip, filter 2
# without the equaliser (so the file's settings must reach the receiver).
gen=(--set PilotOffsetIndex=137 --set OverSampling=2 --set FilterType=2 --set PhaseEq=0
     --set MACchnActive=1 --set DATAchnActive=1 --seed 5)
"$tolvane" generate "${gen[@]}" --out "$w/x.mat" >/dev/null || fail "generate .mat"
"$tolvane" generate "${gen[@]}" --out "$w/x.bin" >/dev/null || fail "generate .bin"
"$tolvane" generate "${gen[@]}" --out "$w/le.sigmf-meta" >/dev/null || fail "generate SigMF"
"$tolvane" generate "${gen[@]}" --sigmf-datatype ci16_be --out "$w/be.sigmf-meta" >/dev/null ||
  fail "generate SigMF ci16_be"

# Each format, the PN offset searched for; JSON alone on standard output.
check_json() {  # FILE.json WHAT [same-time]
  py "
import json
r = json.load(open('$1'))
if '${3:-}' == 'same-time':
    # Only the PN phase at the recording's start is fixed: the PN offset
    # and the timing offset together must put the PN sequence there.
    assert (r['pnOffset'] * 64 + round(r['timingOffsetChips'])) % 32768 == 137 * 64, \
        ('pnOffset', r['pnOffset'], 'timingOffsetChips', r['timingOffsetChips'])
else:
    assert r['pnOffset'] == 137, ('pnOffset', r['pnOffset'])
    assert abs(r['timingOffsetChips']) < 0.01, ('timingOffsetChips', r['timingOffsetChips'])
assert r['rho']['overall'] is not None and r['rho']['overall'] > 0.99, ('rho', r['rho'])
assert r['frameSlots'] == 16, ('frameSlots', r['frameSlots'])
assert len(r['slots']) == 16 and [s['index'] for s in r['slots']] == list(range(1, 17))
assert len(r['codeDomain']['mac']['i']) == 64 and len(r['codeDomain']['data']) == 16
" "$2"
}
run() {  # NAME CHECK ARGS...: analyse, expecting success, JSON to $w/NAME.json
  local name=$1 check=$2; shift 2
  "$tolvane" analyze "$@" --json >"$w/$name.json" 2>"$w/$name.err" ||
    fail "analyze $*: exit $?: $(cat "$w/$name.err")"
  check_json "$w/$name.json" "analyze $*" "$check"
}
run mat exact "$w/x.mat"
run le exact "$w/le.sigmf-meta"
run be exact "$w/be.sigmf-data"
# The instrument file states nothing: the user's rate and settings. A
# search may also lock half a slot later (the pilot bursts repeat every 1024
# chips); the PN phase at the start must be the same either way.
run bin same-time "$w/x.bin" --oversampling 2 --filter 2 --phase-eq 0
run binrate exact "$w/x.bin" --sample-rate 2457600 --filter 2 --phase-eq 0 --pn-offset 137
# The file's settings and PN offset agree with what was found: no word about them.
grep -q 'The recording' "$w/mat.err" && fail "warnings about the .mat's settings: $(cat "$w/mat.err")"

# The table prints the same PN offset; a slot range narrows the slots.
"$tolvane" analyze "$w/x.mat" >"$w/table" 2>&1 || fail "analyze (table): $(cat "$w/table")"
grep -q '^PN offset  *137$' "$w/table" || fail "table: $(head -5 "$w/table")"
"$tolvane" analyze "$w/x.mat" --slots 3:5 --json >"$w/range.json" 2>"$w/range.err" ||
  fail "analyze --slots 3:5: $(cat "$w/range.err")"
py "
import json
r = json.load(open('$w/range.json'))
assert [s['index'] for s in r['slots']] == [3, 4, 5], [s['index'] for s in r['slots']]
" "--slots 3:5"

# Traffic packets: each packet's payload, as the .mat lists what was sent,
# comes back in payloadHex with its slots, DRC and MAC index.
"$tolvane" generate --set Mode=3 --set OverSampling=2 --set PilotOffsetIndex=5 --seed 2 \
  --set "Packets=[1 7 17; 2 12 9]" --out "$w/p.mat" >/dev/null || fail "generate packets"
"$tolvane" analyze "$w/p.mat" --json >"$w/p.json" 2>"$w/p.err" || fail "analyze packets: $(cat "$w/p.err")"
py "
import json, numpy as np, scipy.io as sio
r = json.load(open('$w/p.json'))
assert r['pnOffset'] == 5, r['pnOffset']
sent = sio.loadmat('$w/p.mat', squeeze_me=True)['packets']
got = r['packets']
assert len(got) == len(sent) == 2, (len(got), len(sent))
for g, s in zip(got, sent):
    bits = ''.join(str(int(b)) for b in s['payload'])
    bits += '0' * (-len(bits) % 4)
    want = '%0*x' % (len(bits) // 4, int(bits, 2))
    assert g['fcsOk'] and g['payloadHex'].lower() == want, (g['startSlot'], g['fcsOk'], g['payloadHex'][:16], want[:16])
    assert (g['startSlot'], g['drc'], g['macIndex']) == (s['startSlot'], s['drc'], s['macIndex']), (g, s)
    assert g['slots'] == [int(x) for x in np.atleast_1d(s['slots'])], (g['slots'], s['slots'])
assert [p['macIndex'] for p in r['codeDomain']['preamble']] == [17, 9], r['codeDomain']['preamble']
" "packets round trip"

# Refusals: exit code 2, the file or option named.
refused() {  # WANT ARGS...: exit 2 and a message containing WANT
  local want=$1; shift
  "$tolvane" analyze "$@" >"$w/out" 2>"$w/err"
  local code=$?
  [ "$code" = 2 ] || fail "analyze $*: exit $code, not 2: $(cat "$w/err")"
  grep -qF -- "$want" "$w/err" || fail "analyze $*: message lacks '$want': $(cat "$w/err")"
  [ -s "$w/out" ] && fail "analyze $*: printed on standard output: $(head -3 "$w/out")"
  return 0
}
head -c 7 "$w/x.bin" >"$w/odd.bin"
refused "odd.bin\": its size (7 bytes) is not a whole number" "$w/odd.bin" --oversampling 2
refused "x.bin\": the file does not state its sample rate" "$w/x.bin"
refused "\"$w/missing.mat\": no such file" "$w/missing.mat"
cp "$w/le.sigmf-meta" "$w/cut.sigmf-meta"
head -c 1001 "$w/le.sigmf-data" >"$w/cut.sigmf-data"
refused "cut.sigmf-data\": its size (1001 bytes)" "$w/cut.sigmf-meta"
sed 's/"ci16_le"/"cf64_le"/' "$w/le.sigmf-meta" >"$w/type.sigmf-meta"
cp "$w/le.sigmf-data" "$w/type.sigmf-data"
refused "type.sigmf-meta\": its datatype \"cf64_le\" is not one read here" "$w/type.sigmf-meta"
py "
import numpy as np, json
json.dump({'global': {'core:datatype': 'cf32_le', 'core:sample_rate': 2457600}}, open('$w/nan.sigmf-meta', 'w'))
x = np.zeros(2 * 8192, '<f4'); x[5] = np.nan
x.tofile('$w/nan.sigmf-data')
open('$w/deep.sigmf-meta', 'w').write('[' * 100000 + ']' * 100000)
" "hostile files"
cp "$w/le.sigmf-data" "$w/deep.sigmf-data"
refused "nan.sigmf-data\": sample 3 is not a finite number" "$w/nan.sigmf-meta"
refused "deep.sigmf-meta\": its metadata nests arrays and objects more than 32 levels deep" "$w/deep.sigmf-meta"
truncate -s 17M "$w/huge.sigmf-meta"
cp "$w/le.sigmf-data" "$w/huge.sigmf-data"
refused "huge.sigmf-meta\": it holds 17825792 bytes, more than the 16777216 bytes allowed" "$w/huge.sigmf-meta"
refused "the file states a sample rate of 2457600 Hz, not the 1000000 Hz given" "$w/x.mat" --sample-rate 1e6
refused "--pn-offset \"600\"" "$w/x.mat" --pn-offset 600
refused "--pn-offset \"x\"" "$w/x.mat" --pn-offset x
refused "--filter \"9\"" "$w/x.mat" --filter 9
refused "--phase-eq \"2\"" "$w/x.mat" --phase-eq 2
refused "--frame-slots \"20\"" "$w/x.mat" --frame-slots 20
refused "--slots \"5:2\"" "$w/x.mat" --slots 5:2
refused "--carrier-offset \"nan\"" "$w/x.mat" --carrier-offset nan
refused "--oversampling \"0\"" "$w/x.bin" --oversampling 0
refused "give --sample-rate or --oversampling, not both" "$w/x.bin" --oversampling 2 --sample-rate 1e6

# Noise holds no pilot: exit code 1, said so, no numbers.
py "
import numpy as np
rng = np.random.default_rng(3)
(rng.standard_normal(2 * 32768 * 2) * 3000).astype('>i2').tofile('$w/noise.bin')
" "noise file"
"$tolvane" analyze "$w/noise.bin" --oversampling 2 --json >"$w/out" 2>"$w/err"
code=$?
[ "$code" = 1 ] || fail "noise: exit $code, not 1: $(cat "$w/err")"
grep -q "noise.bin\": no pilot found" "$w/err" || fail "noise: $(cat "$w/err")"
[ -s "$w/out" ] && fail "noise: printed a report: $(head -3 "$w/out")"
echo "analyze: all checks passed"
