#!/usr/bin/env bash
# Installs what is missing, builds, and plays the show from build/show/.
# On a machine with no display it renders the show to build/show.mp4 instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cd build/show

if [[ -z "${DISPLAY:-}" ]]; then
    echo "No display: rendering the show to a video instead (1280 x 720, 60 fps, with its sound)."
    ./tessel-capture --width 1280 --height 720 --fps 60 --out ../show.mp4
    echo "The show is in $(cd .. && pwd)/show.mp4"
    exit 0
fi

runtime="${XDG_RUNTIME_DIR:-/nonexistent}"
if [[ ! -e /dev/snd && -z "${PULSE_SERVER:-}" && ! -S "$runtime/pulse/native" && ! -S "$runtime/pipewire-0" ]]; then
    echo "No audio device found: the show plays silently. For sound, run it on a machine with a sound card"
    echo "(ALSA, PulseAudio or PipeWire) and the libopenal1 package."
    export ALSOFT_DRIVERS=null
fi
exec ./tessel
