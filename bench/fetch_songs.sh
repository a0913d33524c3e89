#!/usr/bin/env bash
# Fetches real MOD, S3M, XM and IT songs from Debian's game-data packages into
# a folder (default /tmp/qmv-songs) for songrender_bench's QMV_SONG_DIR. The
# packages are downloaded and unpacked under /tmp; nothing is installed and
# nothing is kept in the source tree.
set -euo pipefail
out=${1:-/tmp/qmv-songs}
work=$(mktemp -d /tmp/qmv-songs-pkg.XXXXXX)
chmod 755 "$work"  # apt-get download writes as its own user
trap 'rm -rf "$work"' EXIT
# package, then the song files inside it
songs=(
  "tecnoballz-data usr/share/games/tecnoballz/musics/area1-game.mod usr/share/games/tecnoballz/musics/fridge-in-space_from_reg-zbb.mod"
  "gweled usr/share/sounds/gweled/autonom.s3m"
  "pingus-data usr/share/games/pingus/data/music/gd-giirm.s3m usr/share/games/pingus/data/music/pingus-1.it usr/share/games/pingus/data/music/goin_march.it usr/share/games/pingus/data/music/gd-cancn.it"
  "solarwolf usr/share/games/solarwolf/data/music/arg.xm usr/share/games/solarwolf/data/music/aster2_sw.xm"
)
mkdir -p "$out"
for entry in "${songs[@]}"; do
  read -r package files <<<"$entry"
  (cd "$work" && apt-get download "$package" >/dev/null)
  dpkg-deb -x "$work/${package}"_*.deb "$work/root"
  for f in $files; do cp "$work/root/$f" "$out/"; done
done
ls "$out"
