#!/usr/bin/env bash
# Cross-builds the Windows plug-ins with mingw-w64 and checks their export and
# import tables:
#   build-win64/halvane64.dll  (64-bit x86-64)
#   build-win32/halvane.dll    (32-bit x86)
# Installs what it needs (scripts/install-deps.sh --windows). Extra arguments go
# to both cmake configures. HALVANE_BANKC may name a native bank compiler
# (e.g. build/halvane-bankc); otherwise each build compiles one first.
# HALVANE_WINDOWS_TARGETS names the targets (default: the DLL and the static
# libpng that the editor will link).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --windows
jobs=$(nproc)
read -r -a targets <<<"${HALVANE_WINDOWS_TARGETS:-halvane64 halvane_png}"

for width in 64 32; do
    folder=build-win$width
    bankc=()
    [[ -n "${HALVANE_BANKC:-}" ]] && bankc=(-DHALVANE_BANKC="$(realpath "$HALVANE_BANKC")")
    # The toolchain is read only when a build folder is first configured.
    toolchain=()
    [[ -f $folder/CMakeCache.txt ]] ||
        toolchain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw$width.cmake)
    cmake -S . -B "$folder" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DHALVANE_BUILD_BENCH=OFF "${bankc[@]}" "$@" >/dev/null
    cmake --build "$folder" -j "$jobs" --target "${targets[@]}"
done
./scripts/check-windows-dll.sh build-win64/halvane64.dll
./scripts/check-windows-dll.sh build-win32/halvane.dll
