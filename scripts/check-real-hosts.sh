#!/usr/bin/env bash
# Shows what two real Linux hosts make of the built plug-in: Ardour's VST scanner
# and a headless Ardour session, and Qtractor's plug-in scanner. Not part of CI
# (the hosts are large); run it after changes to the binding:
#   ./scripts/check-real-hosts.sh [build/halvane64.so]
# With --editor it also opens the plug-in's editor in Ardour's GUI on a private
# Xvfb (JACK's dummy driver as the audio engine), turns a knob with xdotool,
# checks that Ardour saved the new value, and writes a screenshot:
#   ./scripts/check-real-hosts.sh --editor [build/halvane64.so] [shot.png]
set -euo pipefail
cd "$(dirname "$0")/.."
editor=0
if [[ "${1:-}" == --editor ]]; then
    editor=1
    shift
fi
plugin=$(realpath "${1:-build/halvane64.so}")
shot=$(realpath -m "${2:-build/ardour-editor.png}")
packages=(ardour qtractor)
[[ $editor == 1 ]] && packages+=(jackd2 xvfb xdotool x11-apps imagemagick)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing ${missing[*]} (large)..." >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/vst" "$work/home/.config/ardour7"
cp "$plugin" "$work/vst/"
# Ardour trusts its scan cache only for a plug-in file older than the cache entry.
touch -d "2 minutes ago" "$work/vst/$(basename "$plugin")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
cat > "$work/home/.config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour><Config>
  <Option name="plugin-path-lxvst" value="$work/vst"/>
  <Option name="use-lxvst" value="1"/>
</Config></Ardour>
XML

echo "== Ardour VST scanner"
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f -v "$work/vst/$(basename "$plugin")" \
    | grep -E "Found Plugin|VST2Info"
echo "== Ardour session (dummy backend)"
HALVANE_ARDOUR_SESSION="$work/session" ardour7-lua tools/hostcheck/ardour_check.lua 2>"$work/ardour.log" \
    | grep -E "^(listed|instance):" || true
echo "== Qtractor plug-in scanner (type|name|audio in:out|midi in:out|params:outputs|flags|file|index|id)"
echo "VST:$work/vst/$(basename "$plugin")" | /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan

[[ $editor == 1 ]] || exit 0

echo "== Ardour GUI: the plug-in's own editor"
# ImageMagick's own tools, whatever else is on the PATH.
convert=/usr/bin/convert compare=/usr/bin/compare
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -t 10 -u "$display_fd" display_number
export DISPLAY=":$display_number"
jackd --no-realtime -d dummy -r 48000 -p 1024 >"$work/jack.log" 2>&1 &
pids+=($!)
sleep 2
HALVANE_ARDOUR_SESSION="$work/gui" HALVANE_ARDOUR_BACKEND=JACK \
    ardour7-lua tools/hostcheck/ardour_editor_session.lua >"$work/lua.log" 2>&1
session="$work/gui/halvane-editor.ardour"
saved_cutoff() {
    grep -o '<Controllable name="VCF Cutoff" [^>]*value="[^"]*"' "$session" | sed 's/.*value=//'
}
echo "editor: the new session has VCF Cutoff = $(saved_cutoff)"
# The plug-in window of the track's Halvane opens with the session
# ("P-<route>-<processor>"), and the first-run wizard and the engine dialog
# stay away: JACK was used last.
read -r route processor < <(awk '/<Route /{match($0,/ id="[0-9]+"/); r=substr($0,RSTART+5,RLENGTH-6)}
    /type="lxvst"/{match($0,/ id="[0-9]+"/); print r, substr($0,RSTART+5,RLENGTH-6)}' "$session")
sed -i "s|</Session>|<Extra><UI><Window name=\"P-$route-$processor\" visible=\"1\" x-off=\"0\" \
y-off=\"0\" x-size=\"988\" y-size=\"736\" custom-ui=\"1\"/></UI></Extra></Session>|" "$session"
touch "$HOME/.config/ardour7/.a7"
sed -i "s|</Config>|</Config><Extra><AudioMIDISetup><EngineStates><State backend=\"JACK\" \
driver=\"\" device=\"\" input-device=\"\" output-device=\"\" sample-rate=\"48000\" buffer-size=\"1024\" \
n-periods=\"0\" input-latency=\"0\" output-latency=\"0\" lm-input=\"\" lm-output=\"\" active=\"1\" \
use-buffered-io=\"0\" midi-option=\"\" lru=\"$(date +%s)\"><MIDIDevices/></State>\
</EngineStates></AudioMIDISetup></Extra>|" "$HOME/.config/ardour7/config"
ardour -n -a "$session" >"$work/gui.log" 2>&1 &
pids+=($!)
editor_window=""
for _ in $(seq 1 120); do
    editor_window=$(xdotool search --onlyvisible --name '^IPlug$' 2>/dev/null | head -1 || true)
    [[ -n $editor_window ]] && break
    sleep 1
done
if [[ -z $editor_window ]]; then
    echo "editor: not shown (Ardour's log: $work/gui.log)"
    xwd -root -silent | "$convert" xwd:- "$shot"
    exit 1
fi
sleep 2
eval "$(xdotool getwindowgeometry --shell "$editor_window")"
echo "editor: window ${WIDTH}x${HEIGHT} at ${X},${Y} inside $(xdotool getwindowname \
    "$(xdotool search --onlyvisible --name '^Halvane: ' | head -1)")"
# VCF Cutoff's knob, dragged up; its pixels change and Ardour keeps the value.
knob_x=$((X + 532)) knob_y=$((Y + 156))
crop="40x40+$((knob_x - 20))+$((knob_y - 20))"
xwd -root -silent | "$convert" xwd:- -crop "$crop" +repage "$work/knob-before.png"
xdotool mousemove "$knob_x" "$knob_y" mousedown 1
for _ in $(seq 1 10); do xdotool mousemove_relative -- 0 -6; sleep 0.05; done
xdotool mouseup 1
sleep 1
xwd -root -silent | "$convert" xwd:- -crop "$crop" +repage "$work/knob-after.png"
changed=$("$compare" -metric AE "$work/knob-before.png" "$work/knob-after.png" null: 2>&1 || true)
echo "editor: knob drag changed $changed pixels of the knob"
xwd -root -silent | "$convert" xwd:- -crop "$((WIDTH))x$((HEIGHT + Y))+$X+0" +repage "$shot"
echo "editor: screenshot in $shot"
xdotool windowfocus "$(xdotool search --name 'halvane-editor - Ardour' | head -1)" key ctrl+s
sleep 3
echo "editor: Ardour saved VCF Cutoff = $(saved_cutoff)"
