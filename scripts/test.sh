#!/usr/bin/env bash
# Installs what is missing (test packages included), builds, and runs every
# test. Tests that need a display start their own Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 600
