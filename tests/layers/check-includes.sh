#!/usr/bin/env bash
# Fails when a folder of src/ includes a header of a layer above it (or of its sibling):
#   base <- link <- engine <- {gateway, mail} <- {ui, app}
# Usage: check-includes.sh SOURCE_DIR
set -euo pipefail
src=${1:?source dir}/src

# folder: the folders it must not include from
declare -A forbidden=(
  [base]="link engine gateway mail ui app"
  [link]="engine gateway mail ui app"
  [engine]="gateway mail ui app"
  [gateway]="mail ui app"
  [mail]="gateway ui app"
)

status=0
for folder in "${!forbidden[@]}"; do
  [ -d "$src/$folder" ] || continue
  above=$(tr ' ' '|' <<<"${forbidden[$folder]}")
  # #include "engine/x.h", <engine/x.h>, "../engine/x.h"
  if hits=$(grep -rnE --include='*.h' --include='*.cpp' \
      "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](\.\./)*($above)/" "$src/$folder"); then
    echo "src/$folder includes from a layer it must not see (${forbidden[$folder]}):"
    sed "s|^$src/|  src/|" <<<"$hits"
    status=1
  fi
done
[ $status -eq 0 ] && echo "layers: every include runs downwards"
exit $status
