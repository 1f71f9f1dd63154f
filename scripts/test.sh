#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer test variant, runs ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/bootstrap.sh"
"$here/scripts/build.sh" test
cd "$here/build/test"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
