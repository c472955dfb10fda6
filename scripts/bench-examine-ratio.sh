#!/bin/bash
# Examining 300 media files with the tool's `media`, this build against another (the previous one),
# in turns in the same run: prints each round's seconds and the ratio of the medians.
#   scripts/bench-examine-ratio.sh NEW_TOOL OLD_TOOL WORKDIR [FILES] [ROUNDS]
# The files are the media benchmark's five kinds (a 1920 x 1080 JPEG, DVD .MPG, Xvid .AVI, H.264 .MP4,
# a 2-minute .MP3), copied to FILES paths; made once in WORKDIR and kept.
set -euo pipefail
new=$1 old=$2 work=$3 count=${4:-300} rounds=${5:-3}
seeds=$work/seeds many=$work/many-$count
mkdir -p "$seeds" "$many"
make() {
    [ -s "$seeds/$1" ] || ffmpeg -v error -y "${@:2}" "$seeds/$1"
}
make PHOTO.JPG -f lavfi -i testsrc2=size=1920x1080 -frames:v 1 -q:v 1
make CLIP.MPG -f lavfi -i testsrc2=size=720x576:rate=25 -f lavfi -i sine -t 5 -target pal-dvd -c:a mp2 -b:a 224k
make CLIP.AVI -f lavfi -i testsrc2=size=640x480:rate=25 -f lavfi -i sine -t 5 -c:v mpeg4 -vtag XVID -b:v 4M \
    -c:a libmp3lame
make PHONE.MP4 -f lavfi -i testsrc2=size=1280x720:rate=30 -t 5 -c:v libx264 -preset ultrafast
make SONG.MP3 -f lavfi -i sine -t 120 -c:a libmp3lame
kinds=(PHOTO.JPG CLIP.MPG CLIP.AVI PHONE.MP4 SONG.MP3)
for ((i = 0; i < count; ++i)); do
    kind=${kinds[i % 5]}
    [ -e "$many/${i}_$kind" ] || cp "$seeds/$kind" "$many/${i}_$kind"
done
files=("$many"/*)
# Read once, so that every round finds them in the page cache alike.
cat "${files[@]}" > /dev/null
seconds() {
    local start end
    start=$(date +%s.%N)
    "$1" media "${files[@]}" > /dev/null || true
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
declare -a newTimes oldTimes
for ((r = 1; r <= rounds; ++r)); do
    n=$(seconds "$new")
    o=$(seconds "$old")
    newTimes+=("$n") oldTimes+=("$o")
    printf 'round %d: this build %.2f s, the other %.2f s\n' "$r" "$n" "$o"
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
n=$(median "${newTimes[@]}") o=$(median "${oldTimes[@]}")
printf 'examining %d files: this build %.2f s, the other %.2f s (medians of %d rounds), ratio %.2fx\n' \
    "${#files[@]}" "$n" "$o" "$rounds" "$(echo "$n / $o" | bc -l)"
