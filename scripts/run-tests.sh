#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
#   1. every libFuzzer target for a bounded time, side by side (clang),
#   2. the normal build: the application, the tools and the benchmarks,
#   3. every test, in an AddressSanitizer + UBSan build (its CTest summary
#      closes the output).
# Usage: scripts/run-tests.sh [--quick]   (--quick: a normal build, every test
# in it, no fuzzing and no sanitizers)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
fuzz_seconds="${TQ_FUZZ_SECONDS:-60}"

bash "$root/scripts/install-deps.sh" --tests
export QT_QPA_PLATFORM=offscreen

if [[ "${1:-}" == "--quick" ]]; then
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$root/build" -j "$jobs"
    cd "$root/build"
    exec ctest -j "$jobs" --output-on-failure --timeout 300
fi

echo "== fuzzing every parser of outside input for ${fuzz_seconds} s"
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DTQ_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$root/build-fuzz" -j "$jobs"
fuzz_logs="$(mktemp -d)"
pids=()
for seeds in "$root"/tests/fuzz/corpus/*/; do
    name="$(basename "$seeds")"
    mkdir -p "$fuzz_logs/$name.corpus"
    cp "$seeds"* "$fuzz_logs/$name.corpus/"
    "$root/build-fuzz/bin/fuzz_$name" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
        "$fuzz_logs/$name.corpus" >"$fuzz_logs/$name.log" 2>&1 &
    pids+=("$!:$name")
done
fuzz_failed=0
for entry in "${pids[@]}"; do
    name="${entry#*:}"
    if ! wait "${entry%%:*}"; then
        fuzz_failed=1
        echo "-- fuzz_$name FAILED"
        tail -n 60 "$fuzz_logs/$name.log"
    else
        echo "-- fuzz_$name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$fuzz_logs/$name.log")"
    fi
done
rm -rf "$fuzz_logs"
[[ $fuzz_failed -eq 0 ]] || exit 1

echo "== normal build (application, tools, benchmarks)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$jobs"

echo "== every test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DTQ_SANITIZE=ON -DTQ_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build-asan" -j "$jobs"
cd "$root/build-asan"
ctest -j "$jobs" --output-on-failure --timeout 300
