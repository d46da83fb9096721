#!/usr/bin/env bash
# What crash safety costs a one-item invoice, side by side on this machine: builds bench_durability from this
# tree and from BASE (default 6ecea9e, the invoice road before it was made crash-safe) with the same flags
# (RelWithDebInfo), runs the two in turn ROUNDS times, prints every figure, then the median times and their
# ratio. The builds stay in COMPARE_DIR (default build-compare/) for the next run.
#   bench/durability/compare.sh [timed invoices per run (30)] [counted invoices per run (10)]
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BASE=${BASE:-6ecea9e}
ROUNDS=${ROUNDS:-5}
WORK=${COMPARE_DIR:-$ROOT/build-compare}
mkdir -p "$WORK"

# The older tree as it was at BASE, with this bench (and what the benches share) added beside its own.
rm -rf "$WORK/base-src"
mkdir -p "$WORK/base-src"
git archive "$BASE" | tar -x -C "$WORK/base-src"
cp -R bench/durability bench/support "$WORK/base-src/bench/"

build() {
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVANO_BUILD_UI=OFF >/dev/null
  cmake --build "$2" -j"$(nproc)" --target bench_durability >/dev/null
}
echo "compare: building $BASE and this tree ($(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ', with changes'))"
build "$WORK/base-src" "$WORK/base-build"
build "$ROOT" "$WORK/head-build"

declare -A medians=([base]="" [head]="")
for round in $(seq 1 "$ROUNDS"); do
  for side in base head; do
    output=$("$WORK/$side-build/bench/durability/bench_durability" "$@")
    printf '%s round %d: %s\n' "$side" "$round" "$(tr '\n' ';' <<<"$output" | sed 's/;$//; s/;/; /g')"
    medians[$side]+="$(sed -n 's/^one-item invoice: median \([0-9.]*\) ms.*/\1/p' <<<"$output") "
  done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
base=$(median "${medians[base]}")
head=$(median "${medians[head]}")
awk -v b="$base" -v h="$head" -v base="$BASE" \
  'BEGIN {printf "one-item invoice, median of the runs: %s %.2f ms, this tree %.2f ms, ratio %.2f\n", base, b, h, h / b}'
