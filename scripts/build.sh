#!/usr/bin/env bash
# Configures and builds Tolvane into build/<variant> (release or test).
# The test variant is built with AddressSanitizer and UBSan.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
variant=${1:-release}
case "$variant" in
  release) flags=(-DCMAKE_BUILD_TYPE=Release -DTOLVANE_SANITIZE=OFF) ;;
  test) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_SANITIZE=ON -DTOLVANE_BUILD_BENCH=OFF) ;;
  *) echo "build.sh: unknown variant '$variant' (release or test)" >&2; exit 2 ;;
esac
dir="$here/build/$variant"
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$dir" "${generator[@]}" "${flags[@]}" >/dev/null
fi
# The progress lines are dropped; the build's own status is the script's.
set +e +o pipefail
cmake --build "$dir" --parallel "$(nproc)" 2>&1 | grep -v -E '^\[[0-9]+/[0-9]+\]'
status=${PIPESTATUS[0]}
set -e -o pipefail
exit "$status"
