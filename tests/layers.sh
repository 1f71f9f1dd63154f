#!/usr/bin/env bash
# The layer rule: a layer includes project headers only from itself and the
# layers below it, and neither the application layer nor any layer below it
# includes Qt (only the Qt front end does).
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
check base 'base'
# The base layer is the standard library's alone (and POSIX for the file
# writes): no third-party header.
bad=$(grep -rnE '#include +<[^>]*[./][^>]*>' "$root/src/base" | grep -vE '#include +<unistd\.h>' || true)
if [ -n "$bad" ]; then
  echo "the base layer includes beyond the standard library:" >&2
  echo "$bad" >&2
  status=1
fi
check numerics 'base|numerics'
check onex 'base|numerics|onex'
check receiver 'base|numerics|onex|receiver'
check impair 'base|numerics|onex|impair'
check instrument 'base|numerics|onex|instrument'
check runtime 'base|numerics|onex|instrument|runtime'
check session 'base|numerics|onex|receiver|impair|instrument|runtime|session'
check display 'base|numerics|display'
check app 'base|numerics|onex|receiver|impair|instrument|runtime|session|display|app'
# Within the application layer, the window logic knows only the platform
# interface, never the headless platform that implements it.
bad=$(grep -rnE '#include +"app/headless/' "$root/src/app" --include='*.?pp' | grep -v "^$root/src/app/headless/" || true)
if [ -n "$bad" ]; then
  echo "the application layer includes the headless platform outside src/app/headless:" >&2
  echo "$bad" >&2
  status=1
fi
# Nor the scripting core, which only the platforms build on.
bad=$(grep -rnE '#include +"app/scripting/' "$root/src/app" --include='*.?pp' |
  grep -vE "^$root/src/app/(scripting|headless)/" || true)
if [ -n "$bad" ]; then
  echo "the application layer includes the scripting core outside src/app/scripting and src/app/headless:" >&2
  echo "$bad" >&2
  status=1
fi
exit $status
