#!/usr/bin/env bash
# The layer rule: a layer includes project headers only from itself and the
# layers below it, and nothing below the application layer includes Qt.
# The build links each layer only to the layers below it; this check also
# catches a header-only use that linking would not see.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
check() {
  local layer=$1 allowed=$2
  local bad
  bad=$(grep -rnE '#include +"[a-z_]+/' "$root/src/$layer" | grep -vE "#include +\"($allowed)/" || true)
  if [ -n "$bad" ]; then
    echo "layer $layer includes beyond ($allowed):" >&2
    echo "$bad" >&2
    status=1
  fi
  bad=$(grep -rnE '#include +<Q' "$root/src/$layer" || true)
  if [ -n "$bad" ]; then
    echo "layer $layer includes Qt:" >&2
    echo "$bad" >&2
    status=1
  fi
}
check numerics 'numerics'
check onex 'numerics|onex'
check instrument 'numerics|onex|instrument'
check runtime 'numerics|onex|instrument|runtime'
exit $status
