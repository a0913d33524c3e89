#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test, or
# with `play` only those the game needs to build and run. Non-interactive and
# idempotent: packages already present are left alone.
set -euo pipefail

# What the game needs to build, to make its data and to run: enough for
# scripts/play.sh (`scripts/setup.sh play`).
game_packages=(
  # build
  cmake ninja-build g++ pkg-config git
  # libraries the program links, and the drivers it draws with
  libsdl2-dev libx11-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  liblua5.1-0-dev libtinyxml-dev libminizip-dev zlib1g-dev
  libpng-dev libjpeg-dev libogg-dev libvorbis-dev libfreetype-dev
  libopenal-dev libjack-jackd2-dev libasound2-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libfluidsynth-dev
  # the game's data: word lists, fonts, the Unicode tables, and the images,
  # sounds and music built from our own sources
  python3 wamerican wamerican-small fonts-dejavu-core unicode-data
  librsvg2-bin fluidsynth timgm6mb-soundfont python3-mido python3-pil
  sox libsox-fmt-all vorbis-tools
)

# What the tests, benchmarks and fuzzing need besides.
test_packages=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  lame twolame mpg123 libmpg123-dev ffmpeg libxmp-dev openmpt123
  # sound outputs: the servers tests start, ALSA's tools and plugins
  jackd2 alsa-utils pulseaudio pulseaudio-utils libasound2-plugins
  # running the real program headless and looking at and listening to it
  xvfb xauth xdotool python3-xlib imagemagick x11-utils faketime
  # a small window manager for the full-screen test (started on a display of its own)
  evilwm
  # oracles: anagrams, XML, compact-disc tools
  an libxml2-utils libcdio-utils
)

packages=("${game_packages[@]}")
if [ "${1:-}" != play ]; then
  packages+=("${test_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
