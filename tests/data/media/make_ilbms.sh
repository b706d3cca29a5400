#!/bin/sh
# Makes the ILBM fixtures with netpbm's ppmtoilbm from one small PPM (kept as the expected pixels). Run once by
# hand; the output is checked in.
set -eu
cd "$(dirname "$0")"
/usr/bin/convert -size 21x7 gradient:red-blue -colors 8 -depth 8 ilbm-source.ppm
pbmmake -gray 21 7 > mask.pbm
ppmtoilbm -compress ilbm-source.ppm > byterun1.ilbm
ppmtoilbm -nocompress ilbm-source.ppm > raw.ilbm
ppmtoilbm -maskfile mask.pbm ilbm-source.ppm > masked.ilbm
ppmtoilbm -24force ilbm-source.ppm > deep.ilbm
rm mask.pbm
