#!/usr/bin/env bash
# Installs what is missing (test packages included), builds, and runs every
# test. Tests that need a display start their own Xvfb. Then it builds the
# renderer's GL error report (-DTESSEL_GL_DEBUG=ON, build-gldebug/) with just
# the GL tests and runs the test that proves a bad GL call is reported, and
# runs every fuzz target briefly as a smoke test (scripts/fuzz.sh;
# FUZZ_SECONDS, default 15).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)

cmake -S . -B build-gldebug -DCMAKE_BUILD_TYPE=Release -DTESSEL_GL_DEBUG=ON -DTESSEL_BUILD_BENCH=OFF >/dev/null
cmake --build build-gldebug -j "$(nproc)" --target render_gl_tests
build-gldebug/tests/render/render_gl_tests --gtest_filter='GLErrorReport.*'

scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
