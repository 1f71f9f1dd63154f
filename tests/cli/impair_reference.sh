#!/usr/bin/env bash
# The impairment chain of `tolvane generate` against an independent NumPy
# model applied to the clean frame of the same seed.
set -euo pipefail
tolvane=$1
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$here/reference/impair_reference.py" "$tolvane" "$work"
