#!/usr/bin/env bash
# Installs the Debian packages Tessel needs that are missing, then configures
# and builds it in Release into build/.
#   scripts/setup.sh            player packages
#   scripts/setup.sh --tests    player and test packages
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake g++ make pkg-config
          libx11-dev libxrandr-dev libgl-dev libegl-dev libegl-mesa0 libglew-dev libglm-dev libstb-dev
          libopenal-dev libopenal1 libvorbis-dev libgl1-mesa-dri
          libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev)
if [[ "${1:-}" == "--tests" ]]; then
    PACKAGES+=(libgtest-dev libgmock-dev xvfb xauth x11-utils libxtst-dev sox imagemagick)
    # The fuzz targets: clang with libFuzzer's and the sanitizers' runtimes.
    PACKAGES+=(clang libclang-rt-14-dev)
    BUILD_TESTS=ON
else
    BUILD_TESTS=OFF
fi

missing=()
for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTESSEL_BUILD_TESTS=$BUILD_TESTS
cmake --build build -j "$(nproc)"
