#!/usr/bin/env bash
# Records the SHA-256 of the module file a part of `make test` ran the suite
# against, in its build folder, for tools/make-dist.sh to check:
#   tools/record-tested.sh BUILD_DIR MODULE_FILE
# writes BUILD_DIR/tested-modules.sha256 ("HASH  /absolute/path").
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR MODULE_FILE" >&2
  exit 2
fi
build=$1
file=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
echo "sha256sum $file >$build/tested-modules.sha256"
sha256sum "$file" >"$build/tested-modules.sha256"
