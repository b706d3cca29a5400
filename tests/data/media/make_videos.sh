#!/bin/sh
# Makes the animation fixtures the FFmpeg-backed reader opens, with ffmpeg's command-line tool, and the source
# frames as PPMs: an APNG (lossless) and an MP4 (MPEG-4 part 2, a key frame every 4 frames). Run once by hand;
# the output is checked in. (ffmpeg writes no FLC; the tests write their own.)
set -eu
cd "$(dirname "$0")"
src="testsrc=size=32x24:rate=10"
ffmpeg -v error -y -f lavfi -i "$src" -frames:v 6 -plays 0 -f apng video.apng
ffmpeg -v error -y -f lavfi -i "$src" -frames:v 12 -c:v mpeg4 -q:v 2 -g 4 -bf 0 -pix_fmt yuv420p video.mp4
ffmpeg -v error -y -f lavfi -i "$src" -frames:v 12 -start_number 0 video-%d.ppm
# Only the first and last frames of each file are compared.
for i in 1 2 3 4 6 7 8 9 10; do rm "video-$i.ppm"; done
