#!/bin/sh
# draw.sh -- the menu icons: the city seen from the first car, seed 1, frame 60, drawn by the
# replay tool, a square from it scaled down to each hicolor size (ffmpeg's area average).
# Run from the repository root after a build, with ffmpeg installed; the PNGs it writes are
# committed beside it, so neither the build nor the package needs ffmpeg.
#   packaging/icons/draw.sh [build]
# SPDX-License-Identifier: MIT
set -eu
build=${1:-build}
here=$(dirname "$0")
still=$(mktemp --suffix=.png)
trap 'rm -f "$still"' EXIT
"$build/tools/gridcity-replay" --seed 1 --frames 60 --press 1:up --png "$still"
for s in 16 24 32 48 64 128 256 512; do
  ffmpeg -loglevel error -y -i "$still" -vf "crop=640:640:192:0,scale=$s:$s:flags=area" \
    -pix_fmt rgb24 -map_metadata -1 -bitexact "$here/$s.png"
done
