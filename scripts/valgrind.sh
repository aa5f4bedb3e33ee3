#!/usr/bin/env bash
# Plays a short real show under valgrind's memcheck: the Release build's
# player in a scratch folder (the built shaders, textures and tracks, and two
# bars of the real song made by the songmaker), on a private Xvfb with
# OpenAL's silent device. Fails on any memcheck error and on memory
# definitely lost; what Mesa's driver keeps is suppressed, by library, in
# tests/sanitizers/valgrind.supp. Prints memcheck's summary lines.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
command -v valgrind >/dev/null || { echo "valgrind is not installed (apt-get install valgrind)" >&2; exit 1; }
[[ -x build/show/tessel ]] || { echo "build/show/tessel is missing: run scripts/setup.sh first" >&2; exit 1; }

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
    if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT

cp build/show/Config.txt "$scratch/Config.txt"
for folder in Shaders Textures sync; do ln -s "$root/build/show/$folder" "$scratch/$folder"; done
mkdir "$scratch/Audio"
build/tools/songmaker/songmaker --form production/song_sections.txt --beats 8 \
    --out "$scratch/Audio/Song_094_Final.ogg" >/dev/null

# Xvfb names its display on the descriptor it is given once it accepts clients.
display_file="$scratch/.display"
Xvfb -displayfd 4 -screen 0 1920x1080x24 -nolisten tcp +extension GLX -noreset 4>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do [[ -s "$display_file" ]] && break; sleep 0.05; done
[[ -s "$display_file" ]] || { echo "Xvfb did not start" >&2; exit 1; }
display=":$(head -n1 "$display_file")"

report="$scratch/memcheck.txt"
status=0
(cd "$scratch" && DISPLAY="$display" ALSOFT_DRIVERS=null nice -n 19 valgrind --tool=memcheck --leak-check=full \
    --show-leak-kinds=definite --errors-for-leak-kinds=definite --error-exitcode=99 \
    --suppressions="$root/tests/sanitizers/valgrind.supp" --log-file="$report" "$root/build/show/tessel") || status=$?
# The summary lines (PID prefix dropped), and the full report when it failed.
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|suppressed:" "$report" |
    sed 's/^==[0-9]*== //'
if ((status != 0)); then
    cat "$report" >&2
    echo "valgrind: the player failed (status $status)" >&2
    exit 1
fi
