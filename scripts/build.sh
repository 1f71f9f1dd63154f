#!/usr/bin/env bash
# Configures and builds one variant of Tolvane from the presets in
# CMakePresets.json:
#   release          the programs, optimized          -> build/release
#   test|asan-ubsan  AddressSanitizer and UBSan       -> build/test
#   tsan             ThreadSanitizer, only what the thread tests run -> build/tsan
# The compiler launcher (ccache) is taken from the environment
# (CMAKE_CXX_COMPILER_LAUNCHER), never from the presets.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
variant=${1:-release}
case "$variant" in
  release) preset=release ;;
  test|asan-ubsan) preset=asan-ubsan ;;
  tsan) preset=tsan ;;
  *) echo "build.sh: unknown variant '$variant' (release, test or tsan)" >&2; exit 2 ;;
esac
cd "$here"
# The presets use Ninja; without it the same settings go to Makefiles.
generator=()
command -v ninja >/dev/null 2>&1 || generator=(-G "Unix Makefiles")
# Configured every time, so that a build folder made before a change of the
# presets takes the new settings (an unchanged configuration rebuilds nothing).
cmake --preset "$preset" "${generator[@]}" >/dev/null
# The progress lines are dropped; the build's own status is the script's.
set +e +o pipefail
cmake --build --preset "$preset" --parallel "$(nproc)" 2>&1 | grep -v -E '^\[[0-9]+/[0-9]+\]'
status=${PIPESTATUS[0]}
set -e -o pipefail
exit "$status"
