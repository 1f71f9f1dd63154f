#!/usr/bin/env bash
# The main job: installs what is missing, builds, generates the default frame.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/bootstrap.sh"
"$here/scripts/build.sh" release
mkdir -p "$here/out"
"$here/build/release/bin/tolvane" generate --out "$here/out/default.mat" --save-params "$here/out/default-params.mat"
