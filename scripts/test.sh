#!/usr/bin/env bash
# Builds and runs every test: the optimised build, the Windows DLLs under wine
# (skipped with HALVANE_SKIP_WINDOWS=1), then the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer in a second build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc)

# The editor's window tests need an X display: a private Xvfb on a free display
# number (it writes the number it took to the descriptor), stopped on exit.
if command -v Xvfb >/dev/null; then
    exec {display_fd}<> <(:)
    Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
    read -r -t 10 -u "$display_fd" display_number || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$display_number"
    # A session bus or desktop the caller has must not answer our dialogs.
    unset DBUS_SESSION_BUS_ADDRESS
fi

# Release (-O3), the configuration packagers build, with warnings as errors: the
# optimiser's own analyses (overflow, null paths) are checked on every change.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVANE_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

# The Windows DLLs, cross-built and tested under wine against this build
# (scripts/test-windows.sh). HALVANE_SKIP_WINDOWS=1 skips them for a quick run.
if [[ "${HALVANE_SKIP_WINDOWS:-0}" != 1 ]]; then
    ./scripts/test-windows.sh
fi

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVANE_SANITIZE=ON -DHALVANE_WERROR=ON \
      -DHALVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j "$jobs" --output-on-failure -LE slow

# The editor's threading test under ThreadSanitizer: the editor thread paints
# and handles the mouse while a host thread automates and the audio thread
# applies learned controllers.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVANE_TSAN=ON \
      -DHALVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target test_editor_threads_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/tests/test_editor_threads_test

# The libFuzzer targets (tests/fuzz), built with clang in a third folder and run
# briefly from seeds the instrument writes itself. A finding fails the script
# and leaves its input in build-fuzz/findings/.
if [[ "${HALVANE_SKIP_FUZZ:-0}" != 1 ]] && command -v clang++ >/dev/null; then
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DHALVANE_BUILD_FUZZERS=ON -DHALVANE_WERROR=ON \
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
