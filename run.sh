#!/usr/bin/env bash
# Builds the program and starts it. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages cmake ninja-build g++
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAXO_TESTS=OFF \
    -DVAXO_BENCH=OFF >/dev/null
cmake --build build-run -j "$(nproc)"
if [ $# -eq 0 ]; then
    set -- show examples/rock-fm.rds
fi
exec build-run/tools/vaxoctl "$@"
