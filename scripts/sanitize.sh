#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs the whole test suite there, the real player included.
# Any report fails the test that caused it, leaks too. The options below are
# exported, so every process a test starts (the player under test, the tools)
# inherits them. Reports from third-party libraries are suppressed, by
# library, in tests/sanitizers/lsan.supp; nothing of ours is.
#   scripts/sanitize.sh             configure, build and test
#   scripts/sanitize.sh -R Player   pass the arguments on to ctest
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# intercept_tls_get_addr=0: the runtime's record of dynamic TLS blocks guesses
# a block's bounds from a header that glibc stopped writing long ago; when a
# block (Mesa's driver has them) happens to start 16 bytes into a page, the
# leak check at exit reads that "header" and crashes. Dynamic TLS blocks are
# ordinary heap blocks reached from each thread's TLS, so leaks held there are
# still judged rightly without the record.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:check_initialization_order=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

started=$(date +%s)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_SANITIZE=ON -DTESSEL_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$(nproc)"
built=$(date +%s)
cd build-asan
status=0
ctest --output-on-failure -j "$(nproc)" --timeout 600 "$@" || status=$?
finished=$(date +%s)
echo "Sanitizer build: $((built - started)) s, sanitizer tests: $((finished - built)) s"
exit $status
