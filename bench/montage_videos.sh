#!/usr/bin/env bash
# Makes the videos that bench/montage.sh serves, once, into the folder given (kept between runs):
#   mpeg4_mp3.avi  10 min 640x360 MPEG-4 Part 2 (FourCC XVID) with MP3 audio, about 120 MB
#   mjpeg.avi      3 min 640x360 MJPEG with PCM audio
#   h264.avi       10 min 640x360 H.264 with MP3 audio
#   odml.avi       MJPEG 1280x720 above 1 GiB: OpenDML (AVIX parts and ix## indexes)
#
#   bench/montage_videos.sh build/bench/montage
set -euo pipefail

out=${1:?usage: montage_videos.sh FOLDER}
mkdir -p "$out"

make_video() {
    local name=$1
    shift
    [[ -s $out/$name ]] && return
    printf 'bench: making %s\n' "$name" >&2
    ffmpeg -nostdin -hide_banner -loglevel error -y "$@" "$out/$name.part.avi"
    mv "$out/$name.part.avi" "$out/$name"
}

make_video mpeg4_mp3.avi \
    -f lavfi -i testsrc2=size=640x360:rate=25:duration=600 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=600 \
    -c:v mpeg4 -vtag XVID -b:v 1450k -g 250 -c:a libmp3lame -b:a 128k -f avi
make_video mjpeg.avi \
    -f lavfi -i testsrc2=size=640x360:rate=25:duration=180 \
    -f lavfi -i sine=frequency=440:sample_rate=22050:duration=180 \
    -c:v mjpeg -q:v 4 -c:a pcm_s16le -f avi
make_video h264.avi \
    -f lavfi -i testsrc2=size=640x360:rate=25:duration=600 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=600 \
    -c:v libx264 -preset veryfast -b:v 1400k -g 250 -pix_fmt yuv420p -c:a libmp3lame -b:a 128k \
    -f avi
make_video odml.avi \
    -f lavfi -i testsrc2=size=1280x720:rate=25:duration=640 \
    -c:v mjpeg -q:v 2 -f avi
