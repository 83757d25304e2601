#!/usr/bin/env bash
# Renders a PNG of every page of the window into docs/screenshots (or the
# folder given), offscreen. A second argument names a program folder whose
# language, help, picture or settings files are to be used.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target vaxow-render-pages
QT_QPA_PLATFORM=offscreen build/ui/vaxow-render-pages "$out" "${@:2}"
