#!/usr/bin/env bash
# Parameter files between the application and SciPy: a file saved from the
# main window loads in SciPy with the configuration's fields, and a file
# that SciPy writes with those fields opens in the main window.
# Usage: app_params_scipy.sh PATH-TO-TOLVANE
set -euo pipefail
tolvane="$1"
py=/usr/bin/python3
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# 1. The application writes a parameter file.
"$tolvane" app --script - >"$work/save.out" <<SCRIPT
type txtOffsetIndex 42
type txtOversampling 7
type txtAmplitude -17
file $work/fromapp
menu menuFileSaveAs
SCRIPT

# 2. SciPy reads it and checks the fields; then writes its own file from
# scratch with the same fields (other values).
"$py" - "$work" <<'PY'
import sys
import numpy as np
import scipy.io as sio

work = sys.argv[1]
m = sio.loadmat(work + "/fromapp.mat", squeeze_me=True, struct_as_record=False)
p, s = m["fileParameters"], m["sigGenParameters"]
assert str(m["filename"]) == work + "/fromapp.mat", m["filename"]
fields = ["ParameterFileFormat_ID", "Mode", "PilotOffsetIndex", "MACchnActive", "DATAchnActive",
          "DATAsourceType", "DATAsourceName", "dataSourceBitstream", "IdleSlotGainActive", "IdleSlotGain", "slot",
          "OverSampling", "FilterType", "PhaseEq", "MirrorSpectrum", "ProjectedLength", "LastPath"]
missing = [f for f in fields if f not in p._fieldnames]
assert not missing, missing
assert p.ParameterFileFormat_ID == "OneX-Fwd - Format 1.2", p.ParameterFileFormat_ID
assert p.PilotOffsetIndex == 42 and p.OverSampling == 7 and p.ProjectedLength == 32768 * 7
assert np.shape(p.slot.DATAslotMod) == (16,) and np.shape(p.slot.RPCslotGain) == (16, 59)
assert s.Amplitude == -17 and s.SamplingRate == 1228800 * 7

def record(obj):
    out = {}
    for name in obj._fieldnames:
        v = getattr(obj, name)
        out[name] = record(v) if hasattr(v, "_fieldnames") else v
    return out

# Built anew as plain dicts and arrays: SciPy writes every byte of it.
params = record(p)
params["PilotOffsetIndex"] = 300.0
params["OverSampling"] = 12.0
params["ProjectedLength"] = 32768.0 * 12
params["slot"]["DATAslotMod"] = np.array([3.0] * 8 + [1.0] * 8)
gen = record(s)
gen["Title"] = "FROMSCIPY"
gen["SamplingRate"] = 1228800.0 * 12
sio.savemat(work + "/fromscipy.mat", {"fileParameters": params, "sigGenParameters": gen,
                                      "filename": work + "/fromscipy.mat"}, format="5")
PY

# 3. The application opens SciPy's file.
out="$("$tolvane" app --script - <<SCRIPT
file $work/fromscipy.mat
menu menuFileOpen
show txtOffsetIndex String
show txtOversampling String
show txtNumberOfSamples String
show txtWaveformTitle String
show main Name
SCRIPT
)"
expected="dialog file \"Open Parameter File\": *.mat [Open|Cancel]
show txtOffsetIndex String: 300
show txtOversampling String: 12
show txtNumberOfSamples String: 393216 Samples
show txtWaveformTitle String: FROMSCIPY
show main Name: Veltran Sonvale - 1xEV Forward Link : $work/fromscipy.mat"
got="$(printf '%s\n' "$out" | tail -n 6)"
if [ "$got" != "$expected" ]; then
  echo "FAIL: opening the SciPy file showed:" >&2
  echo "$got" >&2
  exit 1
fi
echo "parameter files pass between the application and SciPy in both directions"
