#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building and testing need on Debian 12 (run as root). Does nothing
# when everything is there already.
set -euo pipefail
# libsystemd-dev: the daemon reports readiness; mandoc, appstream, dpkg-dev, file:
# the checks of the manual pages, the metainfo and the .deb; clang and its runtimes: the fuzz targets;
# xvfb, openbox, xdotool: the window tests under a real window manager.
# libssl-dev: TLS on the server's connections and its own certificate; openssl: its command to check them by hand.
packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-translations-l10n libgl-dev libssl-dev openssl
          libgtest-dev googletest desktop-file-utils libsystemd-dev mandoc appstream dpkg-dev file
          clang libclang-rt-14-dev xvfb openbox xdotool)
missing=()
# A private session bus for the desktop-notification test.
packages+=(dbus-daemon)
# openssl: the client's encryption tests make their own certificate authority and
# server certificates with it.
packages+=(openssl)
# The screen-reader test: the AT-SPI bus and registry, and Python's AT-SPI client.
packages+=(at-spi2-core python3-pyatspi)
# The package check: lintian on the three .deb packages, systemd-analyze
# (package systemd) for the unit's exposure.
packages+=(lintian systemd)
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
