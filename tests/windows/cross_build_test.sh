#!/usr/bin/env bash
# The Windows build: the core, vaxoctl (with its web page) and the window
# vaxow.exe cross-built with MinGW-w64 for 64-bit Windows, the core's tests
# run under wine64, vaxoctl.exe compared byte for byte with the Linux
# vaxoctl, the window driven under Xvfb; and a compile-only 32-bit build
# (32-bit programs do not run under wine64).
# Usage: cross_build_test.sh LINUX_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
linux="$(cd "$1" && pwd)/bin/vaxoctl"
jobs="$(nproc)"
fail() { echo "windows test: $*" >&2; exit 1; }

configure() {
    cmake -S . -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/$2" -DCMAKE_BUILD_TYPE=Release \
        -DVAXO_UI=ON -DVAXO_BENCH=OFF -DCMAKE_UNITY_BUILD=ON -DVAXO_WERROR=ON "${@:3}" >/dev/null
}

configure build-win64 mingw-w64-x86_64.cmake -DVAXO_TESTS=ON
cmake --build build-win64 -j "$jobs"
export WINEPREFIX="$PWD/build-win64/wineprefix" WINEDEBUG=-all
ctest --test-dir build-win64 --output-on-failure --timeout 600

# The zip for Windows users.
(cd build-win64 && cpack -G ZIP >/dev/null) || fail "cpack made no zip"
/usr/bin/python3 - build-win64/vaxow-*-windows-x64.zip <<'EOF_PY' || fail "the zip lacks files"
import sys, zipfile
names = {n.split("/", 1)[1] for n in zipfile.ZipFile(sys.argv[1]).namelist()}
need = {"vaxow.exe", "vaxoctl.exe", "vaxohelp.rtf", "manual.html", "README-Windows.txt",
        "examples/rock-fm.rds", "examples/vaxow.lng", "driver/README.txt"}
sys.exit("missing: " + ", ".join(sorted(need - names)) if need - names else 0)
EOF_PY
echo "zip: $(ls build-win64/vaxow-*-windows-x64.zip)"

# In batches, as the 64-bit build: the Windows-only sources compile one by
# one in both (cmake/windows-sources-alone.cmake), the others are known to
# build alone from the Linux build.
configure build-win32 mingw-w64-i686.cmake -DVAXO_TESTS=OFF
cmake --build build-win32 -j "$jobs"
file build-win32/bin/vaxoctl.exe | grep -q "PE32 executable" || fail "no 32-bit vaxoctl.exe"
file build-win32/bin/vaxow.exe | grep -q "PE32 executable" || fail "no 32-bit vaxow.exe"
echo "32-bit build compiled (not run: wine64 does not run 32-bit programs)"

# Both programs on the same stations: the image, and a simulated send whose
# record and memory must match (the calibration and the send's duration are
# measurements and differ from run to run).
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
windows=(/usr/lib/wine/wine64 build-win64/bin/vaxoctl.exe)
sed 's/%%TIME%%/NEWS/; s/%%DATE%%/TODAY/' examples/rock-fm.rds >"$scratch/steady.rds"
for station in examples/rock-fm.rds "$scratch/steady.rds"; do
    for options in "" "--groups" "--ab 1"; do
        # shellcheck disable=SC2086
        "$linux" image --at "2026-12-08 23:59:30" --decimal-separator . $options "$station" \
            >"$scratch/linux.out"
        # shellcheck disable=SC2086
        "${windows[@]}" image --at "2026-12-08 23:59:30" --decimal-separator . $options \
            "$station" >"$scratch/windows.out"
        cmp "$scratch/linux.out" "$scratch/windows.out" ||
            fail "image $options of $station differs"
    done
done
for bank in 1 2; do
    "$linux" send --simulate --bank "$bank" "$scratch/steady.rds" |
        grep -v -E '^(CPUSPEED|SENDTIME)=' >"$scratch/linux.out"
    "${windows[@]}" send --simulate --bank "$bank" "$scratch/steady.rds" |
        grep -v -E '^(CPUSPEED|SENDTIME)=' >"$scratch/windows.out"
    cmp "$scratch/linux.out" "$scratch/windows.out" || fail "send --simulate --bank $bank differs"
    grep -q '^memory A0 ' "$scratch/windows.out" || fail "no simulated memory from vaxoctl.exe"
done
echo "vaxoctl.exe: images and simulated sends identical to the Linux build"

# The network listeners on Winsock: one text command and one UECP frame.
/usr/bin/python3 tests/netcontrol/network_live_test.py --smoke "${windows[@]}" ||
    fail "vaxoctl.exe did not answer on the network"

# The web page served by vaxoctl.exe, in the browser as on Linux.
/usr/bin/python3 -W ignore::ResourceWarning tests/web/web_browser_test.py --wine \
    build-win64/bin/vaxoctl.exe || fail "vaxoctl.exe did not serve the web page"

# The window, driven from another process through window messages on a
# virtual screen; Wine draws the frames itself, as Windows does.
# Set with no Wine process running, so that none keeps a desktop without the screen.
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
/usr/lib/wine/wineserver -k 2>/dev/null || true
xvfb-run -a -s "-screen 0 1024x768x24" /usr/lib/wine/wine64 build-win64/tests/window_test.exe \
    build-win64/bin/vaxow.exe || fail "vaxow.exe under Wine"
/usr/lib/wine/wineserver -k 2>/dev/null || true
