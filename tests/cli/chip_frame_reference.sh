#!/usr/bin/env bash
# The chip-level frame written by `tolvane generate` against an independent
# NumPy model of the slot layout, traffic chain, MAC channel and spreading.
set -euo pipefail
tolvane=$1
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$here/reference/chip_frame_reference.py" "$tolvane" "$work"
