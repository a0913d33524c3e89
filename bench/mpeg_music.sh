#!/bin/bash
# Real music for mpegdecode_bench, made once into a folder under /tmp (never
# into the repository): two of Debian's game music packages are downloaded
# with `apt-get download` (not installed) and unpacked there. One package's
# MP3 files (22.05 kHz stereo, 80 kbit/s, as the package ships it) are taken
# as they are; the other's recorded Ogg tracks (44.1 kHz stereo) are encoded
# by lame and twolame at 44.1 kHz stereo and, resampled by sox, at 22.05 kHz
# mono. Prints the folder; hand it to the bench:
#   QMV_MPEG_MUSIC=$(bench/mpeg_music.sh) build-bench/bench/mpegdecode_bench
set -euo pipefail
out=${1:-/tmp/qmv-mpeg-music}
if [ -f "$out/.complete" ]; then
    echo "$out"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod a+rwx "$work"  # apt fetches as its own unprivileged user
mkdir -p "$out"
(cd "$work" && apt-get download -q asc-music drascula-music >&2)
for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$work/x"; done

cp "$work/x/usr/share/games/asc/music/frontiers.mp3" "$out/real-l3-22k-stereo-80k.mp3"
audio="$work/x/usr/share/scummvm/drascula/audio"
sox "$audio/track1.ogg" -b 16 "$work/a.wav"
sox "$audio/track2.ogg" -b 16 "$work/b.wav"
sox "$audio/track2.ogg" -b 16 -r 22050 -c 1 "$work/b22m.wav"
lame --quiet -b 192 "$work/a.wav" "$out/real-l3-44k-stereo-192k.mp3"
lame --quiet -V 2 "$work/b.wav" "$out/real-l3-44k-stereo-vbr.mp3"
lame --quiet -m m -b 64 "$work/b22m.wav" "$out/real-l3-22k-mono-64k.mp3"
twolame --quiet -b 192 "$work/a.wav" "$out/real-l2-44k-stereo-192k.mp2"
twolame --quiet -m m -b 64 "$work/b22m.wav" "$out/real-l2-22k-mono-64k.mp2"
touch "$out/.complete"
echo "$out"
