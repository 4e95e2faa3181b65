#!/usr/bin/env bash
# Checks a built plug-in DLL as a Windows host would find it: it exports exactly
# VSTPluginMain and main, and imports nothing but Windows' own DLLs (no C++
# runtime, winpthread, zlib or libpng DLL that a user would not have).
#   scripts/check-windows-dll.sh build-win64/halvane64.dll
set -euo pipefail
dll=$1
objdump=objdump
for candidate in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump; do
    command -v "$candidate" >/dev/null && { objdump=$candidate; break; }
done
dump=$("$objdump" -p "$dll")

exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF == 0 {on=0}
               on {print $NF}' <<<"$dump" | sort | tr '\n' ' ')
if [[ "$exports" != "VSTPluginMain main " ]]; then
    echo "$dll: exports '$exports', expected exactly VSTPluginMain and main" >&2
    exit 1
fi

system_dlls=" kernel32.dll user32.dll gdi32.dll shell32.dll advapi32.dll comdlg32.dll comctl32.dll "
system_dlls+=" wininet.dll ole32.dll oleaut32.dll shlwapi.dll msimg32.dll winmm.dll uxtheme.dll msvcrt.dll "
imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
for name in $imports; do
    if [[ "$system_dlls" != *" $name "* ]]; then
        echo "$dll: imports $name, which is not a Windows system DLL" >&2
        exit 1
    fi
done
echo "$dll: $(stat -c %s "$dll") bytes; exports VSTPluginMain, main; imports" $imports
