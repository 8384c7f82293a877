#!/usr/bin/env bash
# Lays out the demonstration distribution: the installer program with its platform plugin, the
# licence terms, and the suite packed as orvex.tgz. Called by the build (target "distribution").
set -euo pipefail

while [ $# -gt 0 ]; do
    case "$1" in
        --suite) suite=$2 ;;
        --backend) backend=$2 ;;
        --icons) icons=$2 ;;
        --xdg-icon-resource) xdg_icon_resource=$2 ;;
        --xdg-desktop-menu) xdg_desktop_menu=$2 ;;
        --licences) licences=$2 ;;
        --installer) installer=$2 ;;
        --platform-plugin) platform_plugin=$2 ;;
        --pack) pack=$2 ;;
        --staging) staging=$2 ;;
        --output) output=$2 ;;
        *) echo "make-distribution.sh: unknown argument $1" >&2; exit 2 ;;
    esac
    shift 2
done

# The suite as it will lie in the installation directory.
rm -rf "$staging"
mkdir -p "$staging"
cp -a "$suite/." "$staging/"
install -m 0755 "$backend" "$staging/libexec/orvex.bin"
# The suite ships the desktop scripts it runs, taken from the build machine's xdg-utils.
install -m 0755 "$xdg_icon_resource" "$staging/libexec/xdg-icon-resource"
install -m 0755 "$xdg_desktop_menu" "$staging/libexec/xdg-desktop-menu"
for size in 16 24 32 48; do
    install -D -m 0644 "$icons/${size}x${size}/tavrin-orvex.png" \
        "$staging/icons/${size}x${size}/tavrin-orvex.png"
done

# Built next to the final place, then renamed, so an interrupted build never leaves a
# distribution with half an archive in it.
rm -rf "$output.new"
mkdir -p "$output.new/platforms" "$output.new/license_terms"
install -m 0755 "$installer" "$output.new/orvex-installer"
install -m 0644 "$platform_plugin" "$output.new/platforms/"
install -m 0644 "$licences"/*.txt "$output.new/license_terms/"
"$pack" --gzip "$output.new/orvex.tgz" "$staging"
rm -rf "$output"
mv "$output.new" "$output"
