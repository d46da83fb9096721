#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer (TELVANO_SANITIZE) into
# build-asan/ and runs it with ctest. Any fault (a bad access, undefined behaviour, a leak in our code) fails
# the test it happens in; leaks inside third-party libraries are suppressed by tests/lsan.supp.
# ASAN_BUILD_DIR (default build-asan), JOBS (build jobs, default all cores); extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${ASAN_BUILD_DIR:-build-asan}

scripts/install-deps.sh
scripts/firebird-server.sh install   # as in scripts/test.sh: the server tests start and stop it
# Also set while building: test discovery runs every test program once.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVANO_SANITIZE=ON >/dev/null
cmake --build "$BUILD_DIR" -j"${JOBS:-$(nproc)}"

export TELVANO_SOURCE_DIR=$ROOT
cd "$BUILD_DIR"
# Sanitized programs run two to three times slower: a longer timeout than scripts/test.sh.
# Every label runs: the end-to-end tests start the sanitized `telvano` (a fault ends it early or with a
# non-zero exit code, which the tests check; its reports land in the test's stderr file), and the window tests
# run Qt offscreen or on the virtual display. One test is left out: InvoicePrintTest.PortOutsideTheFolder...
# passes, but under ctest LeakSanitizer's own tracer thread crashes at its exit ("Tracer caught signal 11"),
# so no leak check can happen there; it runs in the normal suite. ASAN_CTEST_ARGS replaces that choice ("" for
# everything).
# The same tracer crash ("Tracer caught signal 11", LeakSanitizer has encountered a fatal error) now and then hits
# another test at its exit (one in about 450 in a CI run): a test that fails is run once more. A real fault of
# ours fails both runs.
# shellcheck disable=SC2086
ctest --output-on-failure -j"$(nproc)" --timeout 900 --repeat until-pass:2 \
  ${ASAN_CTEST_ARGS--E "InvoicePrintTest.PortOutsideTheFolder"} "$@"
