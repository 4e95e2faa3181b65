#!/usr/bin/env bash
# Cross-builds the Windows plug-ins with mingw-w64 and checks their export and
# import tables:
#   build-win64/halvane64.dll  (64-bit x86-64)
#   build-win32/halvane.dll    (32-bit x86)
# Installs what it needs (scripts/install-deps.sh --windows). Extra arguments go
# to both cmake configures. HALVANE_BANKC and HALVANE_ARTWORK may name the
# native bank compiler and artwork generator (e.g. build/halvane-bankc and
# build/halvane-artwork); otherwise each build compiles them natively first.
# HALVANE_WINDOWS_TARGETS names the targets (default: the DLL only; it links
# the vendored libpng).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --windows
jobs=$(nproc)
read -r -a targets <<<"${HALVANE_WINDOWS_TARGETS:-halvane64}"

for width in 64 32; do
    folder=build-win$width
    tools=()
    [[ -n "${HALVANE_BANKC:-}" ]] && tools=(-DHALVANE_BANKC="$(realpath "$HALVANE_BANKC")")
    [[ -n "${HALVANE_ARTWORK:-}" ]] && tools+=(-DHALVANE_ARTWORK="$(realpath "$HALVANE_ARTWORK")")
    # The toolchain is read only when a build folder is first configured.
    toolchain=()
    [[ -f $folder/CMakeCache.txt ]] ||
        toolchain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw$width.cmake")
    cmake -S . -B "$folder" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DHALVANE_BUILD_BENCH=OFF "${tools[@]}" "$@" >/dev/null
    cmake --build "$folder" -j "$jobs" --target "${targets[@]}"
done
./scripts/check-windows-dll.sh build-win64/halvane64.dll
./scripts/check-windows-dll.sh build-win32/halvane.dll
