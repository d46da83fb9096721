#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer (TELVANO_SANITIZE) into
# build-asan/ and runs it with ctest. Any fault (a bad access, undefined behaviour, a leak in our code) fails
# the test it happens in; leaks inside third-party libraries are suppressed by tests/lsan.supp.
# ASAN_BUILD_DIR (default build-asan), JOBS (build jobs, default all cores), TEST_JOBS (tests at once, default
# all cores), ASAN_BUILD_ONLY=1 (build, run nothing); extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${ASAN_BUILD_DIR:-build-asan}

scripts/install-deps.sh
# Also set while building: test discovery runs every test program once.
# Leak checking is on with LEAKS=1 (a run by hand). CI leaves it off: LeakSanitizer's tracer thread crashes at
# the exit of some test programs ("Tracer caught signal 11 … LeakSanitizer has encountered a fatal error"), in
# tests that passed, and not always the same ones, which would make every CI run a lottery. Bad accesses and
# undefined behaviour are still caught.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=${LEAKS:-0}:detect_stack_use_after_return=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
# No optimisation and line tables only (-g1): the sanitizers' reports keep their file:line stacks, nothing is
# optimised away before they can see it, and the instrumented build takes about the CPU time of the plain one
# (with -O2 -g it took eight times as much, with -O1 -g1 three times). The tests mostly wait on programs, files
# and sockets, so the slower code costs them little. The benchmarks are left out: no test runs them, and the
# plain build compiles them.
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -g1 -DNDEBUG" \
  -DTELVANO_SANITIZE=ON -DTELVANO_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"${JOBS:-$(nproc)}"
[ "${ASAN_BUILD_ONLY:-0}" != 1 ] || exit 0   # CI builds it beside the plain suite, and runs it later

scripts/firebird-server.sh install   # as in scripts/test.sh: the server tests start and stop it

export TELVANO_SOURCE_DIR=$ROOT
cd "$BUILD_DIR"
# Sanitized programs run two to three times slower: a longer timeout than scripts/test.sh. Extra arguments go to
# ctest (with LEAKS=1 add -E "InvoicePrintTest.PortOutsideTheFolder|TelvanoSetupTest.NeverReplaces", whose exits
# the tracer crashes on).
ctest --output-on-failure -j"${TEST_JOBS:-$(nproc)}" --timeout 900 "$@"
