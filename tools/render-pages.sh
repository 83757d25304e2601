#!/usr/bin/env bash
# Renders a PNG of every page of the window into docs/screenshots (or the
# folder given), offscreen: as designed, with a dark palette (dark/) and at
# scale 2 (scale-2/). A second argument names a program folder whose
# language, help, picture or settings files are to be used.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target vaxow-render-pages
render=build/ui/vaxow-render-pages
QT_QPA_PLATFORM=offscreen "$render" "$out" "${@:2}"
QT_QPA_PLATFORM=offscreen "$render" --dark "$out/dark" "${@:2}"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 "$render" "$out/scale-2" "${@:2}"
