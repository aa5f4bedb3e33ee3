#!/usr/bin/env bash
# Remakes the golden frames in tests/golden/ from the current show, after an
# intended change to a shader, a scene or the choreography. Builds first;
# review the new pictures (git diff shows which changed) before committing.
# Each reference is replaced whole or not at all (the test writes it beside
# the old one and renames it over).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j "$(nproc)" --target golden_frames_tests tessel-capture
TESSEL_BLESS_GOLDEN=1 build/tests/capture/golden_frames_tests
git status --short tests/golden
