#!/usr/bin/env bash
# Builds and runs every test: the suite, the suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer, and each fuzz target for a bounded time
# (FUZZ_SECONDS, 12 s by default), with inputs up to 1 MiB, a time limit per
# input (so that work growing faster than the input fails) and a memory limit.
# Only the first build compiles file by file (clang-tidy reads its commands);
# the others compile in batches (CMake's unity build), in 40 to 45 % less time.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages cmake ninja-build g++ clang clang-tidy libclang-rt-14-dev \
    clang-format libgtest-dev libgmock-dev libbenchmark-dev libboost-dev strace \
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libxkbcommon-dev fonts-dejavu-core \
    xdg-utils shared-mime-info libfile-mimeinfo-perl desktop-file-utils \
    dpkg-dev file lintian appstream libxml2-utils man-db systemd \
    xvfb openbox x11-utils xdotool python3 \
    nlohmann-json3-dev libgcrypt20-dev libssl-dev libsystemd-dev libcurl4-openssl-dev pkg-config openssl chromium \
    libsnmp-dev snmpd snmptrapd snmp smitools \
    chromium-driver python3-selenium python3-prometheus-client \
    iproute2 util-linux

FUZZ_SECONDS="${FUZZ_SECONDS:-12}"
JOBS="$(nproc)"

# Work that runs behind a stage at the lowest priority, so that it takes only
# the time the stage leaves idle (tests waiting on timers, Wine on one core).
# It stays in this script's session: the kernel shares the processor between
# sessions first (autogroup), where a niced one would still take its half.
behind=()
end_tree() {  # PID: the process and all it started
    local child
    for child in $(pgrep -P "$1" || true); do
        end_tree "$child"
    done
    kill "$1" 2>/dev/null || true
}
trap 'for pid in "${behind[@]}"; do end_tree "$pid"; done' EXIT
run_behind() {  # LOG COMMAND...
    local log="$1"
    shift
    nice -n 19 "$@" >"$log" 2>&1 &
    behind+=("$!")
    last_behind=$!
}
build_behind() {  # FOLDER TARGET CONFIGURE-OPTIONS...
    local folder="$1" target="$2"
    shift 2
    run_behind "build/$folder.log" bash -c 'cmake -S . -B "$0" -G Ninja "${@:3}" >/dev/null &&
        cmake --build "$0" -j "$1" --target "$2"' "$folder" "$JOBS" "$target" "$@"
}
wait_behind() {  # PID LOG
    wait "$1" || { tail -n 80 "$2"; exit 1; }
}

echo "== clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "clang-format: clean"

echo "== build (warnings are errors) and test"
# Line tables only: the tests' backtraces need no more, and Beast's templates
# double their compile time with full debug information.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DVAXO_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"

# clang-tidy reads the first build's commands; it runs behind the tests, the
# package and the Windows steps.
run_behind build/clang-tidy.log run-clang-tidy -p build -quiet -j "$JOBS" \
    $(find base record platform formats encoding link net stations document instance sending probe events app eventloop netcontrol web metrics alerts snmp window ui tools -name '*.cpp')
tidy=$last_behind

ctest --test-dir build --output-on-failure -j "$JOBS"

# Nothing may depend on how long the machine has been up: the suite again as
# on a machine that booted a minute ago (all but the browser's test), and its
# unit tests as on one that has run for three days.
at_uptime() {  # SECONDS CTEST-OPTIONS...
    local seconds="$1" status=0
    shift
    scripts/at-uptime.sh "$seconds" ctest --test-dir build --output-on-failure -j "$JOBS" "$@" ||
        status=$?
    if [ "$status" -eq 77 ]; then
        echo "SKIPPED the suite at an uptime of $seconds s: no time namespace here"
    elif [ "$status" -ne 0 ]; then
        exit "$status"
    fi
}
echo "== the suite again at an uptime of 60 s"
at_uptime 60 -E '^web_browser$'
echo "== the unit tests again at an uptime of 3 days"
at_uptime 259200 -R '[.]'

echo "== Debian package: build, installed tree, install and purge"
tests/packaging/package_test.sh build

echo "== Windows: cross build with MinGW-w64, tests under Wine"
if try_packages g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64 \
    libgcrypt-mingw-w64-dev; then
    tests/windows/cross_build_test.sh build
else
    echo "SKIPPED the Windows build and its tests: the packages above are missing"
fi

echo "== clang-tidy"
wait "$tidy" || { grep -E "(warning|error): " build/clang-tidy.log; exit 1; }
echo "clang-tidy: clean"

echo "== build and test under ASan + UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVAXO_SANITIZE=ON \
    -DCMAKE_UNITY_BUILD=ON -DVAXO_BENCH=OFF -DVAXO_WERROR=ON >/dev/null
cmake --build build-asan -j "$JOBS"
build_behind build-tsan all -DCMAKE_BUILD_TYPE=Debug -DVAXO_TSAN=ON -DVAXO_UI=OFF \
    -DCMAKE_UNITY_BUILD=ON -DVAXO_BENCH=OFF -DVAXO_WERROR=ON
tsan_build=$last_behind
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS"

echo "== build and test under ThreadSanitizer (the core, its loop and vaxoctl)"
wait_behind "$tsan_build" build/build-tsan.log
# The fuzzers never speak HTTPS, so the fuzz build leaves it out.
CXX=clang++ build_behind build-fuzz fuzzers -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVAXO_FUZZ=ON -DVAXO_TESTS=OFF -DVAXO_BENCH=OFF -DVAXO_UI=OFF -DVAXO_WEB_TLS=OFF \
    -DCMAKE_UNITY_BUILD=ON -DVAXO_WERROR=ON
fuzz_build=$last_behind
# Not the link's bit-level suites: they run on one thread and take a third of
# the time under ThreadSanitizer.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -j "$JOBS" \
    -E '^(SendCommand|Transfer|WaitForEncoder)\.'

echo "== fuzz targets, ${FUZZ_SECONDS} s each, ${JOBS} at a time"
wait_behind "$fuzz_build" build/build-fuzz.log
fuzz() {
    local target="$1" name corpus
    name="$(basename "$target")"
    corpus="build-fuzz/corpus/$name"
    mkdir -p "$corpus"
    cp -n tests/fuzz/seeds/* "$corpus"/ 2>/dev/null || true
    "$target" -max_total_time="$FUZZ_SECONDS" -max_len=1048576 -timeout=10 \
        -rss_limit_mb=2048 "$corpus" >"build-fuzz/$name.log" 2>&1
}
targets=(build-fuzz/tests/fuzz/*_fuzz)
failed=()
for ((i = 0; i < ${#targets[@]}; i += JOBS)); do
    batch=("${targets[@]:i:JOBS}")
    pids=()
    for target in "${batch[@]}"; do
        fuzz "$target" &
        pids+=("$!")
    done
    for j in "${!batch[@]}"; do
        name="$(basename "${batch[j]}")"
        if wait "${pids[j]}"; then
            echo "-- $name: $(grep -E '^Done|stat::number_of_executed_units' \
                "build-fuzz/$name.log" | tail -n 1)"
        else
            failed+=("$name")
        fi
    done
done
for name in "${failed[@]}"; do
    echo "-- $name FAILED"
    tail -n 80 "build-fuzz/$name.log"
done
[ "${#failed[@]}" -eq 0 ]
echo "all tests passed"
