#!/usr/bin/env bash
# Frames of 64 slots and packet-mode frames written by `tolvane generate`
# against an independent NumPy model of the packet chain, at chip level.
set -euo pipefail
tolvane=$1
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$here/reference/packet_frame_reference.py" "$tolvane" "$work"
