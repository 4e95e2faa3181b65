#!/usr/bin/env bash
# The main job on a fresh machine: install what the build needs, build the plug-in
# and the command-line renderer in build/, and render the demo piece to demo.wav in
# the repository root. Prints the render's summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
# The renderer depends on the plug-in, so this builds halvane64.so too.
cmake --build build --target halvane-render
./build/tools/render/halvane-render resources/demo/demo.mid -o demo.wav \
    --program "Synthe + Strings"
