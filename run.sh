#!/usr/bin/env bash
# Builds the window program vaxow and starts it; an argument names a station file.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages cmake ninja-build g++ \
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libxkbcommon-dev fonts-dejavu-core
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAXO_TESTS=OFF \
    -DVAXO_BENCH=OFF >/dev/null
cmake --build build-run -j "$(nproc)"
# The program resolves a relative station name in its own folder; from the
# command line the operator means the current folder.
if [ $# -eq 1 ] && [ -e "$1" ]; then
    set -- "$(realpath "$1")"
fi
exec build-run/bin/vaxow "$@"
