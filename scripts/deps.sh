#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages Corvane needs to build, run and test, when any is missing.
set -euo pipefail

packages=(
    build-essential dpkg-dev cmake ninja-build pkg-config  # dpkg-dev: dpkg-buildflags for hardening
    clang-format  # scripts/check-format.sh, run by CI before the tests
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    libplist-dev libsodium-dev libarchive-dev
    e2fsprogs util-linux coreutils btrfs-progs xfsprogs dbus-daemon strace
    xvfb xauth xdotool imagemagick
    openbox trayer  # a window manager and a tray host for checking menus and the tray by hand
    # manual pages, the Debian package and the checks of what gets installed
    scdoc file desktop-file-utils appstream lintian libglib2.0-bin
)

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
