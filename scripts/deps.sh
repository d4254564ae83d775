#!/usr/bin/env bash
# Installs the Debian packages Relaydeck needs to build, test and run its demo.
# Only packages that are missing are installed; a machine that has them all is left alone.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  portaudio19-dev libsndfile1-dev libcpp-httplib-dev libjpeg62-turbo-dev libssl-dev
  libboost-dev libgtest-dev libgmock-dev libbenchmark-dev
  espeak-ng sox xvfb xauth multimon-ng clang libclang-rt-14-dev
  python3 procps ccache time
  mingw-w64 wine64 wine qtbase5-dev libgpiod-dev gpiod chromium lintian dpkg-dev fakeroot
  clang-format clang-tidy file zip unzip
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
