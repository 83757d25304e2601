#!/usr/bin/env bash
# Builds the window program vaxow and starts it; an argument names a station file.
set -euo pipefail
# A relative station name means the folder run.sh was started in.
arguments=()
for argument in "$@"; do
    if [ -n "$argument" ] && [ "${argument#/}" = "$argument" ]; then
        argument="$PWD/$argument"
    fi
    arguments+=("$argument")
done
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages cmake ninja-build g++ \
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libxkbcommon-dev fonts-dejavu-core \
    libboost-dev nlohmann-json3-dev libgcrypt20-dev libssl-dev libsystemd-dev libcurl4-openssl-dev \
    libsnmp-dev pkg-config
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAXO_TESTS=OFF \
    -DVAXO_BENCH=OFF >/dev/null
cmake --build build-run -j "$(nproc)"
exec build-run/bin/vaxow "${arguments[@]}"
