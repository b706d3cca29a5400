#!/bin/sh
# Makes the animated GIF fixtures with ImageMagick and gifsicle, and ImageMagick's composited (-coalesce) frames
# of each as PPMs, which the GIF reader's tests compare against. Run once by hand; the output is checked in.
set -eu
cd "$(dirname "$0")"
IM=/usr/bin/convert
# Disposals 1 (keep), 2 (background) and 3 (previous) over an opaque first frame.
$IM -size 16x12 xc:red \
    -dispose none \( -size 4x4 xc:blue -repage +2+2 \) \
    -dispose background \( -size 5x3 xc:lime -repage +8+6 \) \
    -dispose previous \( -size 6x6 xc:yellow -repage +1+5 \) \
    -dispose none \( -size 3x3 xc:white -repage +12+1 \) \
    -delay 7 +repage -layers optimize-plus +map dispose.gif 2>/dev/null || \
$IM -size 16x12 xc:red \
    -dispose none \( -size 4x4 xc:blue -repage +2+2 \) \
    -dispose background \( -size 5x3 xc:lime -repage +8+6 \) \
    -dispose previous \( -size 6x6 xc:yellow -repage +1+5 \) \
    -dispose none \( -size 3x3 xc:white -repage +12+1 \) \
    -set delay 7 dispose.gif
# Local palettes and a transparent colour: each frame its own colour map, holes that show the frame before.
$IM -size 20x10 gradient:navy-orange \
    \( -size 20x10 xc:none -fill magenta -draw "rectangle 3,2 9,7" \) \
    \( -size 20x10 xc:none -fill cyan -draw "circle 14,5 17,5" \) \
    -set dispose none -set delay 10 +map local.gif
# An interlaced animation of 10-row frames, written by gifsicle from ImageMagick's frames.
$IM -size 12x10 pattern:checkerboard -colors 4 \( -size 12x10 gradient:green-purple -colors 16 \) \
    -set delay 5 plain.gif
gifsicle -i plain.gif > interlaced.gif
rm plain.gif
# One frame only: a picture, not an animation.
$IM -size 5x4 xc:orange one.gif
for f in dispose local interlaced; do
    $IM "$f.gif" -coalesce -background black -alpha remove "$f-%d.ppm"
done
