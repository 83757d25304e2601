#!/usr/bin/env bash
# The folders are layers: a file may include headers of its own folder and of
# folders below it, never of one beside or above it.
#   layering_test.sh SOURCE_FOLDER
# The check is also run on a small tree with a wrong include, which it must
# refuse, so that a check that cannot fail does not pass for one that works.
set -euo pipefail

declare -A level=(
    [base]=0 [record]=1 [platform]=2 [formats]=2 [encoding]=3
    [link]=4 [stations]=4 [app]=5 [eventloop]=6 [netcontrol]=7 [web]=8 [window]=9 [ui]=10 [winui]=10 [tools]=9
)

# Prints every include against the order below ROOT; fails when there is one.
check() {
    local root="$1" wrong=0 file folder included
    while IFS= read -r line; do
        file="${line%%:*}"
        folder="${file#"$root"/}"
        folder="${folder%%/*}"
        included="$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")"
        [ -n "${level[$included]+set}" ] || continue
        if [ "$included" != "$folder" ] && [ "${level[$included]}" -ge "${level[$folder]}" ]; then
            echo "layering: $file includes $included/ (level ${level[$included]}), its folder $folder/ is level ${level[$folder]}"
            wrong=1
        fi
    done < <(for folder in "${!level[@]}"; do
                 [ -d "$root/$folder" ] && grep -rHE '^#include "[^"]+/' "$root/$folder" \
                     --include='*.cpp' --include='*.h' || true
             done)
    return "$wrong"
}

check "$1"

sample="$(mktemp -d)"
trap 'rm -rf "$sample"' EXIT
mkdir -p "$sample/stations" "$sample/link"
echo '#include "link/port_trace.h"' >"$sample/stations/wrong.cpp"
echo '#include "base/file_io.h"' >"$sample/link/right.cpp"
if check "$sample" >/dev/null; then
    echo "layering: the check let a wrong include pass"
    exit 1
fi
echo "layering: every include follows the order of the layers"
