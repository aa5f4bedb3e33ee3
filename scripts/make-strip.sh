#!/usr/bin/env bash
# Remakes the README's frames (docs/frame_*.png) and their strip
# (docs/show_strip.png) from the current show with tessel-capture.
# Needs ImageMagick's montage (scripts/setup.sh --tests installs it).
# Everything is made in a scratch folder first; each picture then replaces
# its old one whole (a copy beside it, renamed over it), so a failure leaves
# docs/ as it was or with some pictures replaced, never a cut-off one.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j "$(nproc)" --target tessel-capture show_data

# install_whole SOURCE TARGET: copies SOURCE beside TARGET under a hidden
# temporary name, then renames it over TARGET.
partial=""
install_whole() {
    partial=$(mktemp "$(dirname "$2")/.$(basename "$2").partial-XXXXXX")
    cp "$1" "$partial"
    chmod 644 "$partial"
    mv -f "$partial" "$2"
    partial=""
}

# NAME BEAT: the moment each frame shows.
frames=("1_floor_gathers 40" "2_snake_rises 66" "3_ball_and_bloom 118"
        "4_snake_tunnel 150" "5_tunnel_climax 196" "6_rain_returns 222")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; [[ -z "$partial" ]] || rm -f "$partial"' EXIT
trap 'exit 1' INT TERM HUP
for entry in "${frames[@]}"; do
    read -r name beat <<<"$entry"
    from=$(awk -v b="$beat" 'BEGIN { printf "%.9f", b * 60 / 140 }')
    to=$(awk -v b="$beat" 'BEGIN { printf "%.9f", b * 60 / 140 + 1 / 30 }')
    (cd build/show && ./tessel-capture --width 960 --height 540 --fps 30 --from "$from" --to "$to" \
        --frames "$scratch/$name")
    cp "$scratch/$name/frame_000000.png" "$scratch/frame_$name.png"
done
montage "$scratch"/frame_[1-6]_*.png -tile 3x2 -geometry 480x270+3+3 -background '#404040' "$scratch/show_strip.png"
for picture in "$scratch"/frame_[1-6]_*.png "$scratch/show_strip.png"; do
    install_whole "$picture" "docs/$(basename "$picture")"
done
echo "Wrote docs/show_strip.png and docs/frame_*.png"
