#!/usr/bin/env bash
# Builds and runs every test: the optimised build, the Windows DLLs under wine
# (skipped with HALVANE_SKIP_WINDOWS=1), then the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer in a second build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

# The Windows DLLs, cross-built and tested under wine against this build
# (scripts/test-windows.sh). HALVANE_SKIP_WINDOWS=1 skips them for a quick run.
if [[ "${HALVANE_SKIP_WINDOWS:-0}" != 1 ]]; then
    ./scripts/test-windows.sh
fi

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVANE_SANITIZE=ON \
      -DHALVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j "$jobs" --output-on-failure -LE slow

# The libFuzzer targets (tests/fuzz), built with clang in a third folder and run
# briefly from seeds the instrument writes itself. A finding fails the script
# and leaves its input in build-fuzz/findings/.
if [[ "${HALVANE_SKIP_FUZZ:-0}" != 1 ]] && command -v clang++ >/dev/null; then
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DHALVANE_BUILD_FUZZERS=ON \
          -DHALVANE_BUILD_TESTS=OFF -DHALVANE_BUILD_BENCH=OFF >/dev/null
    cmake --build build-fuzz -j "$jobs" --target fuzz_set_chunk fuzz_preset_files
    for target in fuzz_set_chunk fuzz_preset_files; do
        corpus="build-fuzz/corpus/$target"
        findings="build-fuzz/findings/$target"
        mkdir -p "$corpus" "$findings"
        HALVANE_FUZZ_SEEDS="$corpus" "build-fuzz/tests/fuzz/$target" \
            -max_total_time="${HALVANE_FUZZ_SECONDS:-15}" -print_final_stats=1 \
            -artifact_prefix="$findings/" "$corpus"
    done
fi
