#!/usr/bin/env bash
# Installs the build into a fresh prefix, builds the consumer against the
# installed package alone, and runs it. Arguments: the build folder, the
# consumer's source folder, and extra C flags (the sanitizer flags when the
# library was built with them).
set -euo pipefail
build=$1
source=$2
cflags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/tolvane"
test -f "$work/prefix/include/tolvane/tolvane.h"
cmake -S "$source" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_C_FLAGS="$cflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$cflags" >/dev/null
cmake --build "$work/build" >/dev/null
# Only the C entries leave the shared library.
lib=$(find "$work/prefix" -name 'libtolvane.so.*' -type f | head -1)
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | grep -v -E '^(TolvaneInitialize|TolvaneTerminate|OneX_Fwd_c|tolvane_[a-z_]+)$' || true)
if [ -n "$exported" ]; then
  echo "symbols exported beyond the C entries:" >&2
  echo "$exported" | head -20 >&2
  exit 1
fi
"$work/build/consumer"
