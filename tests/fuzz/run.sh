#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for SECONDS (default 60) on a scratch
# copy of its seed corpus (tests/fuzz/corpus/<target>/ itself is never written). Prints the number of runs each
# target survived; exits non-zero when a target crashed, leaked, hung or did not run. The log of every target and
# the input of a failure stay in build-fuzz/artifacts/.
#   tests/fuzz/run.sh [SECONDS]
# FUZZ_BUILD_DIR (default build-fuzz), JOBS (build jobs, default all cores), FUZZ_SKIP_DEPS=1 (no install-deps),
# FUZZ_BUILD_ONLY=1 (build the targets, run nothing).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
SECONDS_EACH=${1:-60}
[[ $SECONDS_EACH =~ ^[1-9][0-9]*$ ]] || { echo "usage: tests/fuzz/run.sh [SECONDS]" >&2; exit 2; }
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac
TARGETS=(invoice_file command_file sdc_answer)

[ "${FUZZ_SKIP_DEPS:-0}" = 1 ] || scripts/install-deps.sh --fuzz
# Only the libraries the targets need: no Qt program, no tests. -O1 with line tables, as OSS-Fuzz builds its
# targets: the stacks of a crash keep file:line, and the instrumented build takes far less time than -O2 -g.
cmake -S . -B "$BUILD_DIR" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" -DTELVANO_FUZZ=ON \
  -DTELVANO_BUILD_UI=OFF -DTELVANO_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"${JOBS:-$(nproc)}" --target "${TARGETS[@]/#/fuzz_}"
[ "${FUZZ_BUILD_ONLY:-0}" != 1 ] || exit 0

ARTIFACTS=$BUILD_DIR/artifacts
mkdir -p "$ARTIFACTS"
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
# A fault stops the target at once, with the stack of where it happened.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=()
for target in "${TARGETS[@]}"; do
  corpus=$SCRATCH/$target
  mkdir -p "$corpus"
  cp -R "tests/fuzz/corpus/$target/." "$corpus/"
  log=$ARTIFACTS/$target.log
  rc=0
  "$BUILD_DIR/tests/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" -timeout=10 -print_final_stats=1 \
    -dict="tests/fuzz/$target.dict" -artifact_prefix="$ARTIFACTS/$target-" "$corpus" >"$log" 2>&1 || rc=$?
  done_line=$(grep -E '^Done [0-9]+ runs in [0-9]+ second' "$log" | tail -n1 || true)
  if [ "$rc" -eq 0 ] && [ -n "$done_line" ]; then
    runs=$(echo "$done_line" | awk '{print $2}')
    echo "fuzz: $target survived $runs runs in ${SECONDS_EACH} s ($(ls "$corpus" | wc -l) inputs in its corpus)"
  else
    echo "fuzz: $target FAILED (exit $rc); the end of $log:"
    tail -n 60 "$log" | sed 's/^/  /'
    ls "$ARTIFACTS/$target-"* 2>/dev/null | sed 's/^/  input: /' || true
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: all ${#TARGETS[@]} targets survived"
