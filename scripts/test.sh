#!/usr/bin/env bash
# Installs what is missing, then builds and tests the three variants of
# CMakePresets.json, one after the other (scripts/build.sh builds each):
#   release     build/release  built; any compiler warning fails the run
#               (the release build itself does not stop on warnings)
#   asan-ubsan  build/test     every test, under AddressSanitizer and UBSan;
#                              the build stops on any warning (-Werror)
#   tsan        build/tsan     the tests that run on more than one thread,
#                              under ThreadSanitizer (-Werror); which tests
#                              those are is the tsan test preset's filter
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/bootstrap.sh"
cd "$here"
jobs=$(nproc)

log=$(mktemp)
trap 'rm -f "$log"' EXIT
scripts/build.sh release | tee "$log"
if grep -q -E '(^|: )warning: ' "$log"; then
  echo "test.sh: the release build printed compiler warnings" >&2
  exit 1
fi

scripts/build.sh test
ctest --preset asan-ubsan --parallel "$jobs"

scripts/build.sh tsan
ctest --preset tsan --parallel "$jobs"
