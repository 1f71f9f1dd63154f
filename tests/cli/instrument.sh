#!/usr/bin/env bash
# The instrument commands end to end: check, download and play against the
# simulated instrument over TCP, a pseudo-terminal and the stand-in VISA
# library; the bytes on the wire against an independent SCPI listener; the
# built-in simulator; faults and bad input. Everything stays on 127.0.0.1.
set -uo pipefail
tolvane=$1
lib=$(cd "$(dirname "$tolvane")/../lib" && pwd)
w=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$w"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Commands are sent without replies: waits (at most 5 s) for a line in a log.
wait_for() {
  for _ in $(seq 50); do grep -qxF -- "$1" "$2" && return 0; sleep 0.1; done
  return 1
}
export TOLVANE_CORRECTION_DIR="$w/corrections"
mkdir -p "$w/corrections" "$w/saved"

# Starts `tolvane sim` with the given options; sets $port (and $pty).
start_sim() {
  local out=$1; shift
  "$tolvane" sim --port 0 --lifetime 120 "$@" > "$out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q '^listening on' "$out" && break
    sleep 0.1
  done
  port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$out")
  pty=$(sed -n 's/^serial line \(.*\)$/\1/p' "$out")
  [ -n "$port" ] || fail "the simulator did not start: $(cat "$out")"
}

start_sim "$w/sim.out" --pty --save-dir "$w/saved"
sim_port=$port
sim_pty=$pty

out=$("$tolvane" check --tcpip "127.0.0.1:$sim_port") || fail "check: $out"
[[ $out == *"US00000001"* ]] || fail "check text: $out"

# A flat correction file for this instrument at 1 GHz.
/usr/bin/python3 -c "
import scipy.io as s, numpy as np
rec = {'rev': 1.0, 'F': np.array([-1e6, 0, 1e6]), 'H': np.array([1+0j, 1+0j, 1+0j]),
       'ID': 0.0, 'date': 0.0, 'fltr': 0.0, 'modAttn': 0.0, 'cf': 0.0, 'bw': 0.0, 'pwr': 0.0}
s.savemat('$w/corrections/US00000001 1.0 GHz.mat', {'KltIqCorrectionData': rec})
" || fail "writing the correction file"

common=(--seed 5 --set OverSampling=2 --frequency 1e9)
out=$("$tolvane" download --tcpip "127.0.0.1:$sim_port" "${common[@]}" --title "CLI wave" --out "$w/ref.mat") || fail "download over TCP: $out"
[[ $out == *"Corrections applied (1 record)."* ]] || fail "corrections: $out"
[[ $out == *'Downloaded and playing "CLI wave": 65536 samples at 2.4576 MHz on TCPIP 127.0.0.1:'* ]] || fail "summary: $out"
wait_for '> :source:freq:fix 1000000000Hz' "$w/sim.out" || fail "play list not received"
wait_for '> :MMEM:DATA "WFM1:CLI wave",#6262144<262144 bytes>' "$w/sim.out" || fail "waveform block not logged"

# The stored words equal the waveform normalised to 32767 (up to one step,
# from the flat correction filter), the markers bit for bit.
/usr/bin/python3 -c "
import scipy.io as s, numpy as np
m = s.loadmat('$w/ref.mat')
x = m['waveform'][0]
parts = np.empty(2 * x.size); parts[0::2] = x.real; parts[1::2] = x.imag
v = parts / np.abs(parts).max() * 32767
want = (np.sign(v) * np.floor(np.abs(v) + 0.5)).astype('>i2')
got = np.frombuffer(open('$w/saved/CLI wave.wfm', 'rb').read(), '>i2')
assert got.size == want.size and np.abs(got.astype(int) - want.astype(int)).max() <= 1
mk = m['markers'].astype(int)
assert open('$w/saved/CLI wave.mkr', 'rb').read() == bytes((mk[0] + 2 * mk[1]).astype(np.uint8))
" || fail "stored waveform and markers"

# Over the pseudo-terminal, and play alone.
out=$("$tolvane" download --serial "$sim_pty,115200,None" "${common[@]}" --title serial --no-corrections) ||
  fail "download over the serial line: $out"
# A long serial-line download that nobody is there to confirm is a cancel,
# not a failure: its own words and the exit status of an interrupt.
err=$("$tolvane" download --serial "$sim_pty,9600,None" "${common[@]}" --title slow --no-corrections 2>&1 \
  >/dev/null </dev/null)
status=$?
[ $status -eq 130 ] || fail "declined serial download: exit $status: $err"
[[ $err == *$'Download cancelled.\nNothing of "slow" was sent: the instrument holds the waveforms it held before.'* ]] ||
  fail "cancel text: $err"
out=$("$tolvane" play --tcpip "127.0.0.1:$sim_port" --title serial --amplitude -12.5) || fail "play: $out"
wait_for '> :source:power:level:immediate:amplitude -12.5dbm' "$w/sim.out" || fail "play amplitude"

# GPIB through the stand-in VISA library, and without any library.
out=$(TOLVANE_VISA_LIBRARY="$lib/libvisa_standin.so" TOLVANE_STANDIN_VISA_TARGET="127.0.0.1:$sim_port" \
  "$tolvane" download --gpib 0,19 "${common[@]}" --title gpib --no-corrections) || fail "download over GPIB: $out"
err=$(TOLVANE_VISA_LIBRARY=/nonexistent/libvisa.so "$tolvane" check --gpib 0,19 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "GPIB without a library"
[[ $err == *"GPIB needs a VISA library"*"libgpib.so.0"* ]] || fail "GPIB message: $err"

# The bytes on the wire, read by an independent listener that answers the
# queries; compared with the stream built here from the generated file.
/usr/bin/python3 - "$w" > "$w/listener.out" 2>&1 <<'PY' &
import socket, sys
w = sys.argv[1]
srv = socket.socket(); srv.bind(('127.0.0.1', 0)); srv.listen(1)
print(srv.getsockname()[1], flush=True)
srv.settimeout(60)
conn, _ = srv.accept(); conn.settimeout(60)
data = b''; pos = 0
answers = {b'*IDN?': b'Py,Listener,US7,0\n', b':SOUR:RAD:ARB:STATe?': b'1\n', b'*OPC?': b'1\n',
           b':SYST:ERR?': b'+0,"No error"\n'}
while True:
    chunk = conn.recv(1 << 20)
    if not chunk: break
    data += chunk
    while True:
        if data.startswith(b':MMEM:DATA', pos):
            h = data.find(b'#', pos)
            if h < 0 or len(data) < h + 2: break
            n = int(data[h + 1:h + 2]); 
            if len(data) < h + 2 + n: break
            end = h + 2 + n + int(data[h + 2:h + 2 + n]) + 1
            if len(data) < end: break
            pos = end
            continue
        nl = data.find(b'\n', pos)
        if nl < 0: break
        line = data[pos:nl]; pos = nl + 1
        if line in answers: conn.sendall(answers[line])
open(w + '/wire.bin', 'wb').write(data)
PY
pids+=($!)
for _ in $(seq 100); do [ -s "$w/listener.out" ] && break; sleep 0.1; done
lport=$(head -1 "$w/listener.out")
out=$("$tolvane" download --tcpip "127.0.0.1:$lport" "${common[@]}" --title T --out "$w/wire.mat") ||
  fail "download to the listener: $out"
for _ in $(seq 100); do [ -e "$w/wire.bin" ] && break; sleep 0.1; done
/usr/bin/python3 -c "
import scipy.io as s, numpy as np
m = s.loadmat('$w/wire.mat'); x = m['waveform'][0]; mk = m['markers'].astype(int)
parts = np.empty(2 * x.size); parts[0::2] = x.real; parts[1::2] = x.imag
v = parts / np.abs(parts).max() * 32767
words = (np.sign(v) * np.floor(np.abs(v) + 0.5)).astype('>i2').tobytes()
marks = bytes((mk[0] + 2 * mk[1]).astype(np.uint8))
block = lambda b: b'#' + str(len(str(len(b)))).encode() + str(len(b)).encode() + b
play = [' :source:rad:arb:state off', ' :source:rad:arb:wav \"arbi:T\" ', ' :source:freq:fix 1000000000Hz',
        ' :source:power:level:immediate:amplitude -30dbm', ' :source:rad:arb:clock:srate 2457600Hz',
        ' :source:dm:bbfilter 2.1MHz', ' :source:rad:ARB:rscaling 95', ':source:DM:IQAT:AUTO off',
        ':source:DM:IQAT 0', ' :pow:alc:state off', ' :source:rad:arb:marker:rfblank off',
        ' :source:rad:arb:marker:polarity Pos', ' :source:rad:arb:clock:ref int', ' :source:rad:arb:state on',
        ' :output:state on', ' :OUTPUT:MOD ON']
want = (b'*IDN?\n:SOUR:RAD:ARB:STATe?\n:SOUR:RAD:ARB:STATe OFF\n'
        + b':MMEM:DATA \"WFM1:T\",' + block(words) + b'\n'
        + b':MMEM:DATA \"MKR1:T\",' + block(marks) + b'\n'
        + b'*OPC?\n:SYST:ERR?\n\n:SOUR:RAD:ARB:STATe ON\n:OUTPUT:MOD ON\n'
        + b''.join(c.encode() + b'\n' for c in play))
got = open('$w/wire.bin', 'rb').read()
assert got == want, (len(got), len(want), next((i for i in range(min(len(got), len(want))) if got[i] != want[i]), None))
" || fail "bytes on the wire"

# Ctrl-C during a download stops it before the next block: a listener that
# answers the first queries and then reads slowly keeps the transfer going.
/usr/bin/python3 - "$w" > "$w/slow.out" 2>&1 <<'PY' &
import socket, sys, time
w = sys.argv[1]
srv = socket.socket(); srv.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
srv.bind(('127.0.0.1', 0)); srv.listen(1)
print(srv.getsockname()[1], flush=True)
srv.settimeout(60)
conn, _ = srv.accept(); conn.settimeout(60)
answers = {b'*IDN?': b'Py,Slow,US7,0\n', b':SOUR:RAD:ARB:STATe?': b'1\n'}
data = b''; started = False
while True:
    chunk = conn.recv(8192)
    if not chunk: break
    if started: time.sleep(0.01); continue
    data += chunk
    while b'\n' in data and not data.startswith(b':MMEM:DATA'):
        line, data = data.split(b'\n', 1)
        if line in answers: conn.sendall(answers[line])
    if data.startswith(b':MMEM:DATA'):
        started = True; open(w + '/started', 'w').close()
PY
pids+=($!)
for _ in $(seq 100); do [ -s "$w/slow.out" ] && break; sleep 0.1; done
"$tolvane" download --tcpip "127.0.0.1:$(head -1 "$w/slow.out")" --seed 5 --set OverSampling=30 --title slow \
  --no-corrections > /dev/null 2> "$w/interrupted.err" &
dl=$!
for _ in $(seq 200); do [ -e "$w/started" ] && break; sleep 0.05; done
[ -e "$w/started" ] || fail "the slow listener saw no download: $(cat "$w/slow.out" "$w/interrupted.err")"
kill -INT $dl
wait $dl
status=$?
[ $status -eq 130 ] || fail "interrupted download: exit $status: $(cat "$w/interrupted.err")"
grep -qx 'Download cancelled.' "$w/interrupted.err" &&
  grep -q '^It stopped after [0-9]* of [0-9]* bytes of "slow" were sent' "$w/interrupted.err" ||
  fail "interrupted download text: $(cat "$w/interrupted.err")"

# Faults: no answer, refused, an error in the queue; each within its time-out.
start_sim "$w/mute.out" --never-answer
start=$(date +%s%N)
err=$("$tolvane" check --tcpip "127.0.0.1:$port" --timeout 300 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "check of a mute instrument"
[[ $err == *'No answer to "*IDN?"'*"within 300 ms."* ]] || fail "mute text: $err"
[ $(( ($(date +%s%N) - start) / 1000000 )) -lt 3000 ] || fail "the time-out was not kept"
kill "${pids[-1]}"; wait "${pids[-1]}" 2>/dev/null
err=$("$tolvane" check --tcpip "127.0.0.1:$port" 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "check of a closed port"
[[ $err == *"Connection refused"* ]] || fail "refused text: $err"

start_sim "$w/garbage.out" --garbage --faulty-connections 1
err=$("$tolvane" download --tcpip "127.0.0.1:$port" "${common[@]}" --no-corrections 2>&1 >/dev/null)
[ $? -eq 1 ] || fail "download to a garbled instrument"
[[ $err == *'answered "*OPC?" with "\x01\xFE@garbage!?" instead of 1.'* ]] || fail "garbage text: $err"
out=$("$tolvane" download --tcpip "127.0.0.1:$port" "${common[@]}" --no-corrections) || fail "the next connection: $out"

# The built-in simulator: no connection option.
out=$("$tolvane" download --seed 1 --set OverSampling=2) || fail "built-in simulator: $out"
[[ $out == *"No instrument given: using the built-in simulated instrument at 127.0.0.1:"* ]] || fail "built-in: $out"
[[ $out == *"The simulated instrument received:"*"  :OUTPUT:MOD ON"* ]] || fail "built-in log: $out"

# Bad input: exit 2, nothing sent.
err=$("$tolvane" download --tcpip "127.0.0.1:$sim_port" --set OverSampling=31 2>&1 >/dev/null)
[ $? -eq 2 ] || fail "bad setting accepted"
[[ $err == *"whole numbers 2 to 30"* ]] || fail "bad setting text: $err"
err=$("$tolvane" download --tcpip a --gpib 0,1 2>&1 >/dev/null); [ $? -eq 2 ] || fail "two connections accepted"
err=$("$tolvane" play 2>&1 >/dev/null); [ $? -eq 2 ] || fail "play without an instrument"
echo ok
