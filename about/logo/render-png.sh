#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the PNG sizes of the logo from zindlechat.svg (needs rsvg-convert,
# Debian package librsvg2-bin). The PNGs are committed, so a build never needs it.
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" zindlechat.svg -o "zindlechat-$size.png"
done
