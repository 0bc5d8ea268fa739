#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
#   1. the link's fuzz target for a bounded time (clang + libFuzzer),
#   2. the tests labelled "sanitize" under AddressSanitizer and UBSan,
#   3. every test, in a normal build (its CTest summary closes the output).
# Usage: scripts/run-tests.sh [--quick]   (--quick runs step 3 only)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
fuzz_seconds="${TQ_FUZZ_SECONDS:-60}"

bash "$root/scripts/install-deps.sh" --tests
export QT_QPA_PLATFORM=offscreen

if [[ "${1:-}" != "--quick" ]]; then
    echo "== fuzzing the link decoder for ${fuzz_seconds} s"
    cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DTQ_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$root/build-fuzz" -j "$jobs" --target fuzz_link_rx
    corpus="$(mktemp -d)"
    cp "$root"/tests/fuzz/corpus/* "$corpus"/
    "$root/build-fuzz/bin/fuzz_link_rx" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
        "$corpus" 2>&1 | tail -n 15
    rm -rf "$corpus"

    echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)"
    cmake -S "$root" -B "$root/build-asan" -G Ninja -DTQ_SANITIZE=ON -DTQ_BENCH=OFF \
        -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$root/build-asan" -j "$jobs"
    (cd "$root/build-asan" && \
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest -L sanitize -j "$jobs" --output-on-failure --timeout 300)
fi

echo "== full test suite"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$jobs"
cd "$root/build"
ctest -j "$jobs" --output-on-failure --timeout 300
