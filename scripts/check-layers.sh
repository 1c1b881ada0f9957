#!/usr/bin/env bash
# The folders' includes run one way: pages/ uses nothing else of the console; imaging/ and
# documents/ stand on pages/ and settings/ (imaging/ only on a run's ScanSettings); settings/ uses
# only pages/'s FileCommit. Prints every include that breaks this and fails when there is one.
cd "${1:-$(dirname "$0")/..}" || exit 2
declare -A allowed=(
    [pages]='^pages/'
    [imaging]='^(imaging|pages)/|^settings/ScanSettings\.h$'
    [documents]='^(documents|pages|settings)/'
    [settings]='^settings/|^pages/FileCommit\.h$'
)
status=0
for folder in "${!allowed[@]}"; do
    while IFS= read -r hit; do
        included=$(sed -E 's/.*#include "([^"]+)"/\1/' <<<"$hit")
        if ! grep -qE "${allowed[$folder]}" <<<"$included"; then
            echo "$hit"
            status=1
        fi
    done < <(grep -rnE '^#include "[a-z]+/' --include=*.h --include=*.cpp "$folder")
done
exit $status
