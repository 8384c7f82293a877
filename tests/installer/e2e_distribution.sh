#!/usr/bin/env bash
# The demonstration distribution's installer, run as a user runs it: under a real X server
# (xvfb-run), with its windows found and answered through xdotool, and without any display.
# Usage: e2e_distribution.sh DISTRIBUTION_DIRECTORY
set -uo pipefail

distribution=$(cd "$1" && pwd) || { echo "no distribution at $1"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME"
unset QT_QPA_PLATFORM QT_PLUGIN_PATH WAYLAND_DISPLAY
failures=0

check() { # check DESCRIPTION EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then
        echo "ok - $1"
    else
        echo "not ok - $1"
        echo "  expected: $(printf '%q' "$2")"
        echo "  actual:   $(printf '%q' "$3")"
        failures=$((failures + 1))
    fi
}

# Runs PROGRAM under a fresh X server, waits (bounded) for a window named TITLE, sends KEY to it
# and prints "<window found: yes|no> <exit status>".
run_under_x() { # run_under_x DIRECTORY PROGRAM TITLE KEY
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
        cd "$1" || exit 3
        "$2" >"$5/stdout" 2>"$5/stderr" &
        program=$!
        found=no
        if window=$(timeout 30 xdotool search --sync --onlyvisible --name "^$3\$" 2>/dev/null | head -n 1) \
                && [ -n "$window" ]; then
            found=yes
            xdotool windowfocus --sync "$window" key "$4"
        fi
        # Bounded: a program that does not end after the key is killed and reported as 124.
        for _ in $(seq 1 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
        if kill -0 "$program" 2>/dev/null; then kill -9 "$program"; wait "$program"; echo "$found 124"; exit 0; fi
        wait "$program"
        echo "$found $?"
    ' run "$1" "$2" "$3" "$4" "$work"
}

# 1. The distribution starts its wizard; Escape closes it and the program ends normally.
result=$(run_under_x "$distribution" "$distribution/orvex-installer" "Tavrin Orvex Installer" Escape)
check "the distribution opens the installer's wizard window, which Escape closes" "yes 0" "$result"

# 2. The same program where no installation files can be found shows the box naming its own
#    directory; answering it ends the program with status 1.
mkdir -p "$work/lonely/setup/platforms"
cp "$distribution/orvex-installer" "$work/lonely/setup/"
cp "$distribution/platforms/libqxcb.so" "$work/lonely/setup/platforms/"
result=$(run_under_x "$work/lonely" "$work/lonely/setup/orvex-installer" "Missing Installation Files" Return)
check "without installation files the box is shown and the status is 1" "yes 1" "$result"

# 3. No display at all: one line on standard error, status 1.
(cd "$work" && env -u DISPLAY "$distribution/orvex-installer" >"$work/stdout" 2>"$work/stderr")
status=$?
check "without a display the status is 1" "1" "$status"
check "without a display the only output is one line" "Unable to connect to display." "$(cat "$work/stderr")"
check "without a display nothing goes to standard output" "" "$(cat "$work/stdout")"

# 4. An unknown option under a display: the report on standard error, status 1, no window.
(cd "$work" && xvfb-run -a -s "-nolisten tcp" "$distribution/orvex-installer" -x >"$work/stdout" 2>"$work/stderr")
status=$?
check "an unknown option ends with status 1" "1" "$status"
expected=$(printf 'Unknown option "-x".\n\nUsage %s [options] [install-directory]\nInstall to (optional) install directory.\nOptions recognized:\n\t-icon\tOnly install launch icons to menus.' "$distribution/orvex-installer")
check "an unknown option prints the report" "$expected" "$(cat "$work/stderr")"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
