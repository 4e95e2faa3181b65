#!/usr/bin/env bash
# Installs the Debian packages Halvane builds and tests with. Idempotent and quiet
# when everything is already there; safe to run on every build.
#
#   scripts/install-deps.sh            the Linux build and its tests
#   scripts/install-deps.sh --windows  also the Windows cross build and wine
#   scripts/install-deps.sh --win32    also 32-bit wine (i386 packages, qemu)
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libpng-dev zlib1g-dev libsndfile1-dev
    libstb-dev libcairo2-dev fonts-liberation2
    libx11-dev libxext-dev libcurl4-openssl-dev
    xvfb xauth libxtst-dev x11-utils x11-apps dbus
    clang g++-multilib
)
for option in "$@"; do
    case "$option" in
    --windows)
        # The posix-thread compilers: std::recursive_mutex and friends exist there.
        packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
                   binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 googletest wine64) ;;
    --win32)
        # 32-bit wine; the kernels here run no 32-bit code, so qemu runs it.
        packages+=(qemu-user-static wine32:i386) ;;
    *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
