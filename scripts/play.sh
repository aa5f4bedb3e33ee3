#!/usr/bin/env bash
# Installs what is missing, builds, and plays the show from build/show/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cd build/show

runtime="${XDG_RUNTIME_DIR:-/nonexistent}"
if [[ ! -e /dev/snd && -z "${PULSE_SERVER:-}" && ! -S "$runtime/pulse/native" && ! -S "$runtime/pipewire-0" ]]; then
    echo "No audio device found: the show plays silently. For sound, run it on a machine with a sound card"
    echo "(ALSA, PulseAudio or PipeWire) and the libopenal1 package."
    export ALSOFT_DRIVERS=null
fi

if [[ -z "${DISPLAY:-}" ]]; then
    echo "No display: playing the show inside Xvfb (nothing to watch; the log is build/show/LogFile.txt)."
    export ALSOFT_DRIVERS=null
    exec xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" ./tessel
fi
exec ./tessel
