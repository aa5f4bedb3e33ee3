#!/usr/bin/env bash
# Installs what is missing (test packages included), builds, and runs every
# test. Tests that need a display start their own Xvfb. Then every fuzz target
# runs briefly as a smoke test (scripts/fuzz.sh; FUZZ_SECONDS, default 15).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 600
cd ..
scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
