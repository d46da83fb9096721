#!/usr/bin/env bash
# Builds every benchmark (targets named bench_*) in build-bench/ as a Release build and runs each one,
# printing its figures. BENCH_BUILD_DIR overrides the folder; arguments are passed to every benchmark.
# BENCH_ONLY="bench_a bench_b" builds and runs only the named benchmarks.
# bench_big_database fills databases of 100 000 and 1 000 000 invoices the first time (about 3 minutes and
# 4 GB in $BUILD_DIR/big-database/) and reuses them on later runs; see README.md, Benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DTELVANO_BUILD_TESTS=ON >/dev/null
mapfile -t targets < <(cmake --build "$BUILD_DIR" --target help | sed -n 's/^\.\.\. \(bench_[A-Za-z0-9_]*\).*/\1/p' | sort -u)
if [ -n "${BENCH_ONLY:-}" ]; then
  mapfile -t targets < <(printf '%s\n' "${targets[@]}" | grep -Fx -f <(tr ' ' '\n' <<<"$BENCH_ONLY"))
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "run.sh: no benchmark targets found" >&2
  exit 1
fi
cmake --build "$BUILD_DIR" --target "${targets[@]}" -j"$(nproc)"
status=0
for target in "${targets[@]}"; do
  program=$(find "$BUILD_DIR" -type f -name "$target" -perm -u+x | head -n 1)
  if [ -z "$program" ]; then
    echo "run.sh: $target was not built" >&2
    status=1
    continue
  fi
  echo "== $target"
  "$program" "$@" || { echo "run.sh: $target failed" >&2; status=1; }
done
exit $status
