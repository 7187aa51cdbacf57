#!/bin/sh
# Draws the program icon (64x64): a padlock with a key hole on a rounded
# blue square. Needs ImageMagick's convert. The shackle is a whole ellipse
# whose lower half the lock body covers.
set -e
cd "$(dirname "$0")"
convert -size 64x64 xc:none \
  -fill '#1f4e8c' -stroke '#0d2a52' -strokewidth 2 -draw 'roundrectangle 2,2 61,61 10,10' \
  -fill none -stroke '#d9dde3' -strokewidth 6 -draw 'ellipse 32,27 12,15 0,360' \
  -fill '#f2c14e' -stroke '#8a6512' -strokewidth 2 -draw 'roundrectangle 13,28 51,56 4,4' \
  -stroke none -fill '#3b2a05' -draw 'circle 32,39 32,35' -draw 'polygon 29,41 35,41 36,51 28,51' \
  -depth 8 -strip quorbix.png
