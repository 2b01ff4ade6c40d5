#!/usr/bin/env bash
# Builds everything and runs every test (unit, widget and end-to-end). Then,
# when clang is installed, a second build with clang into build-fuzz/ (or
# $FUZZ_BUILD_DIR): the core unit tests run once more under AddressSanitizer
# and UndefinedBehaviorSanitizer, every fuzz harness replays its seeds and
# regressions, and each is fuzzed for FUZZ_SECONDS (15 by default), two at a
# time.
#   --quick   only the first part, for everyday use
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
for arg in "$@"; do
    case "$arg" in
    --quick) quick=1 ;;
    *)
        echo "usage: $0 [--quick]" >&2
        exit 2
        ;;
    esac
done

BUILD_DIR=${BUILD_DIR:-build} ./scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j2 --timeout 600
((quick)) && exit 0
if ! command -v clang++ >/dev/null; then
    echo "clang++ is not installed: the sanitizer build and the fuzzing are left out"
    exit 0
fi

fuzz_dir=${FUZZ_BUILD_DIR:-build-fuzz}
fuzz_seconds=${FUZZ_SECONDS:-15}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR="$(pwd)" CCACHE_NOHASHDIR=1 # as in build.sh
CC=clang CXX=clang++ cmake -S . -B "$fuzz_dir" -DTESSARO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    >/dev/null
cmake --build "$fuzz_dir" -j"$(nproc)" --target sanitized_checks

# Qt is not instrumented, but its inline headers are compiled into our code:
# the one report they give is suppressed (tests/fuzz/ubsan-qt.supp).
export ASAN_OPTIONS=check_initialization_order=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$(pwd)/tests/fuzz/ubsan-qt.supp"
# The unit tests of the core (not the real-time end-to-end tests) and the
# harnesses over their seeds and regressions.
ctest --test-dir "$fuzz_dir" --output-on-failure -j2 --timeout 600 -LE e2e \
    -R '^(platform\.core|instrument\.|ftp\.|editor\.core|fuzz\.)'

# Fuzzes one harness; new inputs go to a work folder, never into the repository.
fuzz_one() {
    local name=$1 work="$fuzz_dir/fuzz-work/$1"
    local inputs=()
    for folder in tests/fuzz/corpus/"$name" tests/fuzz/regressions/"$name"; do
        [ -d "$folder" ] && inputs+=("$folder")
    done
    mkdir -p "$work/corpus"
    if "$fuzz_dir/bin/$name" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/corpus" "${inputs[@]}" >"$work/log" 2>&1; then
        awk -v name="$name" '/^Done [0-9]+ runs in/ { printf "%-22s %9d runs %7d/s\n", name, $2, $2 / ($5 ? $5 : 1) }' \
            "$work/log"
    else
        tail -n 30 "$work/log"
        echo "FUZZ FAILURE in $name: the input is in $work/ (crash-*, timeout-*, leak-*);" \
            "once fixed, add it to tests/fuzz/regressions/$name/"
        return 1
    fi
}
export -f fuzz_one
export fuzz_dir fuzz_seconds
echo "Fuzzing each harness for ${fuzz_seconds} s, two at a time"
find "$fuzz_dir/bin" -name '*_fuzz' -type f -printf '%f\n' | sort | xargs -P2 -I{} bash -c 'fuzz_one {}'
