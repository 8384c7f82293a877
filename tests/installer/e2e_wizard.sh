#!/usr/bin/env bash
# A whole installation as a user makes it: the demonstration distribution's installer under a
# real X server, driven through every page with the keyboard, into a private home directory
# inside a GNOME session, then run a second time into the same destination.
# Usage: e2e_wizard.sh DISTRIBUTION_DIRECTORY
set -uo pipefail

distribution=$(cd "$1" && pwd) || { echo "no distribution at $1"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
export GNOME_DESKTOP_SESSION_ID=this-is-deprecated
unset KDE_FULL_SESSION QT_QPA_PLATFORM QT_PLUGIN_PATH WAYLAND_DISPLAY XDG_UTILS_INSTALL_MODE
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
destination="$work/cluster/tavrin/orvex"

xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -s "$distribution" "$destination" "$work" <<'SCRIPT'
distribution=$1 destination=$2 work=$3
failures=0
check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok - $1"; else echo "not ok - $1"; failures=$((failures + 1)); fi
}
window() { timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
keys() { # keys WINDOW KEY... (one at a time, letting the wizard turn its pages)
    local target=$1; shift
    for key in "$@"; do xdotool windowfocus --sync "$target" key "$key"; sleep 0.4; done
}
alive() { kill -0 "$1" 2>/dev/null; }

cd "$work"
"$distribution/orvex-installer" "$destination" >"$work/first.out" 2>&1 &
program=$!
wizard=$(window "Tavrin Orvex Installer")
check "the wizard opens" test -n "$wizard"
# Welcome, licence (accept with Alt+A), install type, destination (given on the command line),
# confirmation: Install.
keys "$wizard" Return alt+a Return Return Return Return
for _ in $(seq 1 300); do [ -f "$destination/.installed" ] && break; sleep 0.1; done
check "the installation is marked finished" test -f "$destination/.installed"
# The desktop steps follow on the wizard's thread; the post-install script is the last of them.
for _ in $(seq 1 300); do [ -e "$destination/post-install.sh" ] || break; sleep 0.1; done
check "the suite's programs are installed" test -x "$destination/libexec/orvex.bin"
check "the back end runs" "$destination/bin/orvex"
check "the menu entry is registered" test -f "$XDG_DATA_HOME/applications/tavrin-orvex.desktop"
check "the icons are registered" test -f "$XDG_DATA_HOME/icons/hicolor/48x48/apps/tavrin-orvex.png"
check "the file type is registered" test -f "$XDG_DATA_HOME/mime/packages/hok-mime.xml"
check "the post-install script is gone" test ! -e "$destination/post-install.sh"
check "the file type description is gone" test ! -e "$destination/hok-mime.xml"
sleep 1
# Finish, with the release notes box checked as it comes.
keys "$wizard" Return
viewer=$(window "RELEASE-NOTES")
check "Finish opens the release notes" test -n "$viewer"
sleep 0.5
check "the wizard has closed" test -z "$(xdotool search --onlyvisible --name '^Tavrin Orvex Installer$' 2>/dev/null)"
check "the program goes on while the viewer is open" alive "$program"
kill "$program" 2>/dev/null; wait "$program" 2>/dev/null

# Second run into the same destination: the question comes before anything is written.
"$distribution/orvex-installer" "$destination" >"$work/second.out" 2>&1 &
program=$!
wizard=$(window "Tavrin Orvex Installer")
keys "$wizard" Return alt+a Return Return Return Return
question=$(window "Destination Exists")
check "an existing destination is questioned" test -n "$question"
# No: the installation is cancelled.
keys "$question" alt+n
sleep 0.5
check "declining leaves the wizard open" alive "$program"
kill "$program" 2>/dev/null; wait "$program" 2>/dev/null

# Icons-only mode, from a copy of the installer lying in the installed tree (its parent holds
# bin/zuv), into a fresh desktop: the entry and icons are registered and the status is 0.
mkdir -p "$destination/setup/platforms"
cp "$distribution/orvex-installer" "$destination/setup/"
cp "$distribution/platforms/libqxcb.so" "$destination/setup/platforms/"
export XDG_DATA_HOME="$work/second-desktop"
mkdir -p "$XDG_DATA_HOME"
(cd "$work" && timeout 60 "$destination/setup/orvex-installer" -icon >"$work/icon.out" 2>&1)
check "-icon ends with status 0" test $? -eq 0
check "-icon registers the menu entry" test -f "$XDG_DATA_HOME/applications/tavrin-orvex.desktop"
check "-icon registers the icons" test -f "$XDG_DATA_HOME/icons/hicolor/16x16/apps/tavrin-orvex.png"
# With a menu script that fails, the box says so and the status is still 0.
printf '#!/bin/sh\nexit 4\n' > "$destination/libexec/xdg-desktop-menu"
(cd "$work" && exec timeout 60 "$destination/setup/orvex-installer" -icon >"$work/icon.out" 2>&1) &
program=$!
box=$(window "Installation Error")
check "a failing menu script is reported in a box" test -n "$box"
[ -n "$box" ] && keys "$box" Return
wait "$program"
check "-icon still ends with status 0" test $? -eq 0

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"
SCRIPT
