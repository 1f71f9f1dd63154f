#!/usr/bin/env bash
# The main job: installs what is missing, builds, generates the default frame,
# then downloads and plays it on the built-in simulated instrument (on a free
# loopback port) and prints what the instrument received. A real instrument
# is one option away: add --tcpip HOST, --gpib BOARD,PRIMARY or --serial PORT.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/bootstrap.sh"
"$here/scripts/build.sh" release
mkdir -p "$here/out"
"$here/build/release/bin/tolvane" generate --out "$here/out/default.mat" --save-params "$here/out/default-params.mat"
"$here/build/release/bin/tolvane" download --seed 1
