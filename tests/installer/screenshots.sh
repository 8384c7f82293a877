#!/usr/bin/env bash
# Takes a picture of every page of the installer's wizard under Xvfb, for a person to look at:
# welcome, licence, install type, destination (also with the whitespace note), confirmation,
# the finish page and the release-notes viewer. Not run by CI.
# Usage: screenshots.sh DISTRIBUTION_DIRECTORY OUTPUT_DIRECTORY
# Needs xwd (x11-apps) and netpbm besides the test packages.
set -euo pipefail
distribution=$(cd "$1" && pwd)
mkdir -p "$2"
output=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
unset KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID QT_QPA_PLATFORM QT_PLUGIN_PATH
mkdir -p "$HOME"

xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -s "$distribution" "$output" "$work" <<'SCRIPT'
set -u
distribution=$1 output=$2 work=$3
shot() { sleep 0.6; xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pnmtopng > "$output/$2.png"; echo "$output/$2.png"; }
key() { xdotool windowfocus --sync "$1" key "$2"; sleep 0.4; }
cd "$work"
"$distribution/orvex-installer" "$work/orvex" &
program=$!
wizard=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tavrin Orvex Installer$' | head -n 1)
shot "$wizard" 0-welcome
key "$wizard" Return; shot "$wizard" 1-licence
key "$wizard" alt+a; key "$wizard" Return; shot "$wizard" 2-install-type
key "$wizard" Return; shot "$wizard" 3-destination
key "$wizard" End; key "$wizard" space; shot "$wizard" 3-destination-whitespace
key "$wizard" BackSpace
key "$wizard" Return; shot "$wizard" 4-ready
key "$wizard" Return
for _ in $(seq 1 300); do [ -e "$work/orvex/.installed" ] && break; sleep 0.1; done
sleep 1; shot "$wizard" 102-finished
key "$wizard" Return
viewer=$(timeout 30 xdotool search --sync --onlyvisible --name '^RELEASE-NOTES$' | head -n 1)
shot "$viewer" viewer
kill "$program"
SCRIPT
