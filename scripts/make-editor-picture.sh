#!/usr/bin/env bash
# Remakes the README's picture of the track editor (docs/editor.png): the
# browser test of the page takes it on the real show, in Debian's chromium
# against a real tessel-author (scripts/setup.sh --tests installs both).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j "$(nproc)"
(cd build && TESSEL_EDITOR_PICTURE="$PWD/../docs/editor.png" ctest -R '^editor_page$' --output-on-failure)
echo "Wrote docs/editor.png"
