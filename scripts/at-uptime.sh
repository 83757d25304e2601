#!/usr/bin/env bash
# at-uptime.sh SECONDS COMMAND...: runs COMMAND in a Linux time namespace
# whose monotonic and boot-time clocks read SECONDS, as on a machine that
# booted SECONDS ago (whatever this one's uptime). Exit status 77 without
# running it where time namespaces are not available here.
set -euo pipefail
seconds="$1"
shift
offsets() {  # CLOCK: the offset that makes the clock read $seconds
    /usr/bin/python3 -c "import sys, time
print(int($seconds - time.clock_gettime(getattr(time, sys.argv[1]))))" "$1"
}
monotonic="$(offsets CLOCK_MONOTONIC)"
boottime="$(offsets CLOCK_BOOTTIME)"
try() {  # UNSHARE-OPTIONS...: whether a time namespace can be made so
    unshare "$@" -T --fork --monotonic="$monotonic" --boottime="$boottime" true 2>/dev/null
}
if try; then
    exec unshare -T --fork --monotonic="$monotonic" --boottime="$boottime" "$@"
fi
echo "no time namespace can be made here (it needs root, or CAP_SYS_ADMIN, and Linux 5.6)" >&2
exit 77
