#!/usr/bin/env bash
# The window through a real window system (Xvfb with the openbox window
# manager): the title bar's name is exactly the caption, and SIGTERM with
# "Auto Save" ticked writes the station file and the settings file.
#   window_system_test.sh PATH_OF_VAXOW
set -euo pipefail
vaxow="$1"
for tool in Xvfb openbox xprop xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (apt-get install xvfb openbox x11-utils xdotool)"
        exit 77
    fi
done

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}

display=":$((200 + RANDOM % 500))"
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    xprop -display "$display" -root >/dev/null 2>&1 && break
    sleep 0.1
done
DISPLAY="$display" openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# A portable copy: its settings and station file stand beside it.
mkdir -m 700 "$work/app" "$work/runtime"
cp "$vaxow" "$work/app/vaxow"
{
    printf 'station.rds\r\n\r\n\r\n\r\n0\r\n0\r\n1\r\n0\r\n0\r\n'
    for _ in $(seq 56); do printf '\r\n'; done
} >"$work/app/vaxow.dat"
printf 'CLEAR\r\nPS=XVFB FM\r\n' >"$work/app/station.rds"

DISPLAY="$display" XDG_RUNTIME_DIR="$work/runtime" VAXO_INSTANCE="window-system-$$" QT_QPA_PLATFORM=xcb \
    ASAN_OPTIONS=detect_leaks=0 "$work/app/vaxow" >"$work/vaxow.log" 2>&1 &
program=$!
pids+=("$program")
window="$(DISPLAY="$display" timeout 20 xdotool search --sync --classname vaxow | head -n 1)" ||
    fail "no window appeared: $(cat "$work/vaxow.log")"
sleep 4  # the start-up banner gives way to the file name at the first tick

name="$(xprop -display "$display" -id "$window" _NET_WM_NAME)"
expected='_NET_WM_NAME(UTF8_STRING) = "VAXO for Windows 3 - station.rds"'
[ "$name" = "$expected" ] || fail "title bar reads: $name"

kill -TERM "$program"
status=0
wait "$program" || status=$?
[ "$status" -eq 0 ] || fail "SIGTERM ended it with status $status"
lines() { tr -cd '\n' <"$1" | wc -c; }
[ "$(lines "$work/app/station.rds")" -eq 47 ] || fail "the station file was not saved whole"
grep -q $'^PS=XVFB FM\r$' "$work/app/station.rds" || fail "the station file lost its PS"
[ "$(lines "$work/app/vaxow.dat")" -eq 65 ] || fail "the settings file was not written"
echo "window system: caption and the saves on SIGTERM as they should be"
