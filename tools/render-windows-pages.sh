#!/usr/bin/env bash
# Screenshots of the Windows window's pages under Wine on a virtual screen,
# into docs/screenshots/windows/ (after the Windows build and its tests:
# ./test.sh, or tests/windows/cross_build_test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX="$PWD/build-win64/wineprefix" WINEDEBUG=-all
# Set with no Wine process running, so that none keeps a desktop without the screen.
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
/usr/lib/wine/wineserver -k 2>/dev/null || true
xvfb-run -a -s "-screen 0 1024x768x24" /usr/lib/wine/wine64 build-win64/tests/window_test.exe \
    build-win64/bin/vaxow.exe --screenshots docs/screenshots/windows \
    --gtest_filter='*StandsAsDesigned*:*DotsPerInch*'
