#!/usr/bin/env bash
# Builds the benchmarks in Release with profile-guided optimisation, as scripts/build-optimised.sh
# builds the server, and runs every suite briefly, then the end-to-end driver.
#   bash bench/run.sh [BUILD_DIR]      (default: build-bench, next to this repository's root)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}

QUELLIN_CMAKE_ARGS="-DQUELLIN_BUILD_BENCH=ON" bash scripts/build-optimised.sh "$build" \
  bench_frontend bench_server bench_shapes e2e_latency quellin-lsp

echo "== machine =="
nproc
uptime
echo "== stages =="
"$build/bench/bench_frontend" --benchmark_min_time=0.5
echo "== server, in process =="
"$build/bench/bench_server" --benchmark_min_time=0.5
echo "== pathological shapes =="
"$build/bench/bench_shapes" --benchmark_min_time=0.2
echo "== end to end =="
"$build/bench/e2e_latency" --server "$build/lsp/bin/quellin-lsp" --lines 10000 --edits 200 --warmup 5 \
  --modules 100 --module-lines 500
