#!/usr/bin/env bash
# The Windows part of the test suite (scripts/test.sh runs it unless
# HALVANE_SKIP_WINDOWS=1):
#  - builds build-win64/halvane64.dll and build-win32/halvane.dll and checks
#    their export and import tables (always);
#  - runs the host-level suite of tests/host against halvane64.dll under wine,
#    and the editor window's tests (tests/winwindow) on an X display;
#  - compares each DLL with the Linux build (build/): the renders of a MIDI
#    phrase within 1e-9 per sample, the state chunks loading both ways, and
#    the settings file at its Windows place;
#  - compares halvane.dll with the Linux build in the same way under 32-bit
#    wine where the machine can run it (through qemu-user), and says so when
#    it cannot.
# HALVANE_SKIP_WIN32_WINE=1 skips the 32-bit wine run; on a kernel without
# 32-bit support it runs only with HALVANE_WIN32_QEMU=1.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
jobs=$(nproc)
root=$PWD
linux=build

# The Linux side of the comparison (cheap when test.sh has built it already).
if [[ ! -f $linux/CMakeCache.txt ]]; then
    ./scripts/install-deps.sh
    cmake -S . -B $linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVANE_WERROR=ON >/dev/null
fi
cmake --build $linux -j "$jobs" --target halvane64 halvane-crosscheck halvane-bankc halvane-artwork

HALVANE_BANKC=$linux/halvane-bankc HALVANE_ARTWORK=$linux/halvane-artwork ./scripts/build-windows.sh -DHALVANE_WERROR=ON

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" # no .NET or HTML engine prompts

# The editor's window tests draw on an X display through wine: the one
# scripts/test.sh started, else a private Xvfb of our own.
xvfb_pid=""
if [[ -z "${DISPLAY:-}" ]] && command -v Xvfb >/dev/null; then
    exec {display_fd}<> <(:)
    Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t 10 -u "$display_fd" display_number && export DISPLAY=":$display_number"
fi
failures=()

# One prefix per width inside its build folder, created once; a wineserver kept
# running (-p) spares every test program wine's cold start. False when the
# prefix cannot be made within the time given.
start_wine() { # width loader seconds
    export WINEPREFIX=$root/build-win$1/wineprefix
    if [[ ! -f $WINEPREFIX/.halvane-ready ]]; then
        echo "Creating the wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        local booted=0
        WINEARCH=win$1 timeout "$3" "$2" wineboot -i >/dev/null 2>&1 && booted=1
        timeout 60 /usr/lib/wine/wineserver64 -w 2>/dev/null || true
        if [[ $booted == 0 ]]; then
            /usr/lib/wine/wineserver64 -k 2>/dev/null || true # and every program of the prefix
            return 1
        fi
        touch "$WINEPREFIX/.halvane-ready"
    fi
    /usr/lib/wine/wineserver64 -p
    # The first program of a session starts wine's own background processes,
    # which would hold on to the output pipe of whoever ran it (ctest waits for
    # that pipe to close): start them here, with nothing to hold.
    timeout "$3" "$2" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}
stop_wine() {
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
}

# A 64-bit prefix also sets up, and keeps updating, its 32-bit half, which under
# qemu takes many minutes. With qemu's i386 entry off while the 64-bit tests
# run, wine skips that half at once; the 64-bit tests need none of it.
qemu_entry=/proc/sys/fs/binfmt_misc/qemu-i386
qemu_paused=0
pause_qemu() {
    if [[ -f $qemu_entry ]] && grep -qx enabled $qemu_entry && echo 0 >$qemu_entry 2>/dev/null; then
        qemu_paused=1
    fi
}
resume_qemu() {
    if [[ $qemu_paused == 1 ]]; then
        echo 1 >$qemu_entry
    fi
    qemu_paused=0
}
trap 'stop_wine; resume_qemu; [[ -z $xvfb_pid ]] || kill "$xvfb_pid" 2>/dev/null || true' EXIT

# Renders and chunks of one Windows build against the Linux build's, both ways,
# and the settings file appearing at %LOCALAPPDATA%\KelpmoorMusic\halvane.ini.
crosscheck() { # width loader dll tag
    local width=$1 loader=$2 dll=$3 tag=$4
    local exchange=build-win$width/crosscheck
    local check=build-win$width/tests/halvane-crosscheck.exe
    rm -rf "$exchange" && mkdir -p "$exchange/linux-home"
    local ini
    ini=$( (ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null || true) | head -n1)/KelpmoorMusic/halvane.ini
    rm -f "$ini"
    XDG_CONFIG_HOME=$root/$exchange/linux-home HOME=$root/$exchange/linux-home \
        $linux/tests/halvane-crosscheck $linux/halvane64.so write "$exchange" linux
    # The loader is a command line (wine, or wine under a time limit).
    $loader "$check" "Z:$root/$dll" write "Z:$root/$exchange" "$tag" || failures+=("$tag write")
    if [[ -f "$ini" ]]; then
        echo "$tag: settings file created at ${ini#"$WINEPREFIX"/}"
    else
        echo "$tag: no settings file at ${ini#"$WINEPREFIX"/}"
        failures+=("$tag settings file")
    fi
    $loader "$check" "Z:$root/$dll" check "Z:$root/$exchange" linux || failures+=("$tag against linux")
    XDG_CONFIG_HOME=$root/$exchange/linux-home HOME=$root/$exchange/linux-home \
        $linux/tests/halvane-crosscheck $linux/halvane64.so check "$exchange" "$tag" ||
        failures+=("linux against $tag")
}

# ---- 64-bit
cmake --build build-win64 -j "$jobs" --target windows_tests
pause_qemu
if start_wine 64 /usr/lib/wine/wine64 600; then
    echo "Host-level suite against halvane64.dll under wine"
    # Wine now and then fails to start a test program at all (no output, no
    # time taken): a test gets a second start then, and its log shows both.
    ctest --test-dir build-win64 -j 1 --output-on-failure --repeat until-pass:2 ||
        failures+=("win64 host suite")
    crosscheck 64 /usr/lib/wine/wine64 build-win64/halvane64.dll win64
    stop_wine
else
    failures+=("the 64-bit wine prefix could not be created")
fi
resume_qemu

# ---- 32-bit: wine's 32-bit loader needs the kernel to run 32-bit code, which
# these machines may not; qemu-user registered for i386 executables runs it then.
# Whether the kernel itself runs 32-bit x86 programs (a qemu entry in
# binfmt_misc does not count).
native_32bit() {
    local qemu=/proc/sys/fs/binfmt_misc/qemu-i386
    if [[ -f $qemu ]] && grep -qx enabled $qemu; then
        return 1
    fi
    mkdir -p build-win32
    printf 'int main(void) { return 0; }\n' | gcc -m32 -static -x c - -o build-win32/probe32 2>/dev/null &&
        build-win32/probe32 2>/dev/null
}
win32_runs() {
    [[ "${HALVANE_SKIP_WIN32_WINE:-0}" != 1 ]] || { why="HALVANE_SKIP_WIN32_WINE=1"; return 1; }
    # Under qemu-user, creating a 32-bit wine prefix took over 20 minutes on a
    # two-core machine: only an explicit request waits for that.
    if ! native_32bit && [[ "${HALVANE_WIN32_QEMU:-0}" != 1 ]]; then
        why="this kernel runs no 32-bit programs (HALVANE_WIN32_QEMU=1 tries 32-bit wine under qemu-user, which takes many minutes to start)"
        return 1
    fi
    ./scripts/install-deps.sh --win32 >/dev/null 2>&1 || { why="wine32 or qemu-user cannot be installed"; return 1; }
    [[ -x /usr/lib/wine/wine ]] || { why="no 32-bit wine loader"; return 1; }
    if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        local binfmt=/proc/sys/fs/binfmt_misc
        [[ -f $binfmt/register ]] || mount -t binfmt_misc binfmt_misc $binfmt 2>/dev/null ||
            { why="binfmt_misc cannot be mounted"; return 1; }
        if [[ ! -e $binfmt/qemu-i386 ]]; then
            printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
                >$binfmt/register 2>/dev/null || { why="qemu-i386 cannot be registered with binfmt_misc"; return 1; }
        fi
        /usr/lib/wine/wine --version >/dev/null 2>&1 || { why="32-bit programs do not run"; return 1; }
    fi
}
# Under qemu wine runs many times slower than natively: the 32-bit run is the
# comparison with the Linux build (a rendered phrase, the chunks, the settings
# file), not the whole host suite. Creating a 32-bit prefix alone took over 20
# minutes on a busy two-core machine, so it gets a time budget
# (HALVANE_WIN32_PREFIX_SECONDS, default 240 s) and is kept for later runs.
why=""
if win32_runs; then
    window_tests=(test_winwindow_editor_window_test test_winwindow_platform_services_test)
    cmake --build build-win32 -j "$jobs" --target halvane-crosscheck "${window_tests[@]}"
    if start_wine 32 /usr/lib/wine/wine "${HALVANE_WIN32_PREFIX_SECONDS:-240}"; then
        if native_32bit; then
            echo "halvane.dll under 32-bit wine"
        else
            echo "halvane.dll under 32-bit wine (through qemu-user)"
        fi
        crosscheck 32 "timeout ${HALVANE_WIN32_RUN_SECONDS:-900} /usr/lib/wine/wine" \
            build-win32/halvane.dll win32
        # The editor's window tests wait for the window in real time: natively
        # only, not many times slower under qemu.
        if native_32bit && [[ -n "${DISPLAY:-}" ]]; then
            for test in "${window_tests[@]}"; do
                (cd build-win32/tests && timeout 600 /usr/lib/wine/wine "./$test.exe") ||
                    failures+=("win32 $test")
            done
        else
            echo "32-bit editor window tests NOT RUN: they need 32-bit programs running natively and an X display"
        fi
        stop_wine
    else
        echo "32-bit wine tests NOT RUN: the 32-bit wine prefix was not ready within" \
             "${HALVANE_WIN32_PREFIX_SECONDS:-240} s under qemu (HALVANE_WIN32_PREFIX_SECONDS gives it more)"
    fi
else
    echo "32-bit wine tests NOT RUN: $why (halvane.dll was built and its exports and imports checked)"
fi

echo "Windows part took $((SECONDS - started)) s"
if [[ ${#failures[@]} -gt 0 ]]; then
    echo "Windows part FAILED: ${failures[*]}"
    exit 1
fi
