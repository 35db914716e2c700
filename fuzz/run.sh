#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on its seed corpus.
# Usage: fuzz/run.sh [seconds per target, default 60] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(fuzz_server fuzz_source fuzz_modules)

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUELLIN_BUILD_FUZZ=ON -DQUELLIN_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

# Seed corpora: the framed sessions under fuzz/seeds, and every QUELLIN program in the repository.
corpus=build-fuzz/corpus
mkdir -p "$corpus/fuzz_server" "$corpus/fuzz_source" "$corpus/fuzz_modules"
cp fuzz/seeds/server/* "$corpus/fuzz_server/"
find examples stdlib -name '*.qn' -exec cp {} "$corpus/fuzz_source/" \;
find examples stdlib -name '*.qn' -exec cp {} "$corpus/fuzz_modules/" \;
for t in "${targets[@]}"; do
  echo "== $t for ${secs}s =="
  mkdir -p "build-fuzz/artifacts/$t"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1 \
    "build-fuzz/fuzz/$t" "$corpus/$t" -dict=fuzz/quellin.dict -max_total_time="$secs" \
      -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/artifacts/$t/" 2>&1 | tail -n 12
done
