#!/usr/bin/env bash
# The folders are layers: a file may include headers of its own folder and of
# folders below it, never of one beside or above it.
#   layering_test.sh SOURCE_FOLDER
# The check is also run on a small tree with a wrong include, which it must
# refuse, so that a check that cannot fail does not pass for one that works.
set -euo pipefail

declare -A level=(
    [base]=0 [record]=1 [platform]=2 [formats]=2 [encoding]=3
    [link]=4 [stations]=4 [alarms]=4 [events]=5 [document]=6 [instance]=6 [sending]=6 [probe]=7 [app]=8
    [eventloop]=9 [net]=10 [netcontrol]=11 [web]=11 [metrics]=11 [alerts]=11 [snmp]=11 [window]=12 [tools]=12 [ui]=13 [winui]=13
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
