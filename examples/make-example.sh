#!/bin/sh
# Regenerates the example song and its side files in this folder:
#   song.3g2         a 10-second synthetic tone (AAC-LC, 22050 Hz, mono) encoded by ffmpeg,
#                    laid out by make_track: 108 samples in the movie box, then two movie
#                    fragments (runs of 40 and 25 samples, then one of 43)
#   config.txt       no link URL, one clip from 2 s to 5 s
#   description.txt  the eight lines of the song's metadata
#   jacket.jpg       a 96x96 test pattern
#   wallpaper.jpg    a 240x320 test pattern
# Needs ffmpeg and the make_track tool (built with the tests; MAKE_TRACK may name it).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
make_track=${MAKE_TRACK:-$root/build/default/tests/tools/make_track}

if [ ! -x "$make_track" ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default --target make_track
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$make_track" --rate 22050 --seconds 10 --moov 108 --fragment 40,25 --fragment 43 \
    --work "$work" -o "$here/song.3g2"

printf 'KDDIMU01\r\n\r\nwallpaper.jpg,\r\n002.000,005.000\r\n' > "$here/config.txt"

printf '%s\r\n' \
    'title,Tessaryn Tone' \
    'artist,Tessaryn' \
    'album_title,Examples' \
    'track_number,0101' \
    'time,0010' \
    'author,Tessaryn team' \
    'publisher,Tessaryn' \
    'copyright,Tessaryn team' > "$here/description.txt"

ffmpeg -nostdin -v error -y -f lavfi -i 'testsrc=size=96x96:rate=1' -frames:v 1 -q:v 4 \
    -fflags +bitexact -flags +bitexact "$here/jacket.jpg"
ffmpeg -nostdin -v error -y -f lavfi -i 'testsrc2=size=240x320:rate=1' -frames:v 1 -q:v 5 \
    -fflags +bitexact -flags +bitexact "$here/wallpaper.jpg"

echo "examples regenerated in $here"
