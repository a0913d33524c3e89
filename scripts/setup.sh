#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Non-interactive and idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config git
  # libraries the program links
  libsdl2-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  liblua5.1-0-dev libtinyxml-dev libminizip-dev zlib1g-dev
  libpng-dev libjpeg-dev libogg-dev libvorbis-dev libfreetype-dev
  # tests, benchmarks and fuzzing
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  libopenal-dev lame twolame mpg123 libmpg123-dev ffmpeg libxmp-dev openmpt123
  # sound outputs: JACK for ASIO, ALSA's mixer for the system volume, and the servers tests start
  libjack-jackd2-dev jackd2 libasound2-dev alsa-utils pulseaudio pulseaudio-utils libasound2-plugins
  # running the real program headless and looking at and listening to it
  xvfb xauth xdotool python3 python3-xlib python3-pil imagemagick x11-utils faketime
  # a small window manager for the full-screen test (started on a display of its own)
  evilwm
  sox libsox-fmt-all vorbis-tools
  # game content sources and oracles
  wamerican wamerican-small an fonts-dejavu-core unicode-data
  libxml2-utils
  # images, sounds and music of the game, built from our own sources
  librsvg2-bin fluidsynth timgm6mb-soundfont python3-mido
  # internet streams, MIDI, Windows Media, DirectShow and CD sources and their oracles
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev ffmpeg
  libfluidsynth-dev libcdio-utils
)

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
