#!/bin/sh
# Post-install step of the demonstration distribution: removes what earlier versions of the suite
# left in the installation directory and are no longer part of it. The installer runs this script
# from its own working directory, so the script finds the installation through its own path.
here=$(cd "$(dirname "$0")" && pwd) || exit 1
for stale in bin/orvex-legacy libexec/orvex-legacy.bin doc/README.old; do
    if [ -e "$here/$stale" ] || [ -L "$here/$stale" ]; then
        rm -f "$here/$stale"
        echo "post-install: removed $stale"
    fi
done
exit 0
