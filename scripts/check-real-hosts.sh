#!/usr/bin/env bash
# Shows what two real Linux hosts make of the built plug-in: Ardour's VST scanner
# and a headless Ardour session, and Qtractor's plug-in scanner. Not part of CI
# (the hosts are large); run it after changes to the binding:
#   ./scripts/check-real-hosts.sh [build/halvane64.so]
set -euo pipefail
cd "$(dirname "$0")/.."
plugin=$(realpath "${1:-build/halvane64.so}")
missing=()
for p in ardour qtractor; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing ${missing[*]} (large)..." >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
