#!/usr/bin/env bash
# Side-by-side speed of Halvane and the VST 2.4 instruments Debian ships (amsynth,
# ZynAddSubFX), measured in one run, alternating plug-ins round by round, all
# through halvane-render's host code (halvane-render --bench). Prints a Markdown
# table of medians. Environment: ROUNDS (default 7), BENCH_SECONDS of audio per
# workload (default 10), BUILD folder (default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
rounds=${ROUNDS:-7}
seconds=${BENCH_SECONDS:-10}
build=${BUILD:-build}

amsynth=/usr/lib/vst/amsynth_vst.so
zyn=/usr/lib/vst/ZynAddSubFX.so
if [[ ! -f $amsynth || ! -f $zyn ]]; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq >/dev/null
    $sudo apt-get install -y -qq --no-install-recommends amsynth zynaddsubfx-vst >/dev/null
fi

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target halvane-render >/dev/null
render="$build/tools/render/halvane-render"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ZynAddSubFX sounds at most 15 keys per part by default: take its own state,
# raise the part's key limit to 64 and hand the state back as a program file.
"$render" --plugin "$zyn" --save-fxp "$work/zyn-default.fxp" >/dev/null
python3 bench/compare/zyn_key_limit.py "$work/zyn-default.fxp" "$work/zyn-64-keys.fxp" 64 >&2

for ((round = 1; round <= rounds; ++round)); do
    echo "round $round of $rounds" >&2
    "$render" --bench --bench-seconds "$seconds" >"$work/$round-halvane.txt"
    "$render" --bench --bench-seconds "$seconds" --plugin "$amsynth" \
        >"$work/$round-amsynth.txt" 2>/dev/null
    "$render" --bench --bench-seconds "$seconds" --plugin "$zyn" \
        --fxp "$work/zyn-64-keys.fxp" >"$work/$round-zyn.txt"
done
python3 bench/compare/summarize.py "$work"/*.txt
