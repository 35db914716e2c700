#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on its seed corpus.
# Usage: fuzz/run.sh [seconds per target, default 60] [target...]
# QUELLIN_FUZZ_BUILD names the build directory (default build-fuzz); the corpus found so far is kept
# there, so later runs continue where earlier ones stopped.
# Exits with status 1 when any target finds a crash, hang, leak or sanitizer report; the input that
# did it is left in <build>/artifacts/<target>/ and the report in <build>/artifacts/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(fuzz_server fuzz_source fuzz_modules fuzz_reuse)
build=${QUELLIN_FUZZ_BUILD:-build-fuzz}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUELLIN_BUILD_FUZZ=ON -DQUELLIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

# Seed corpora: the small inputs under fuzz/seeds, and every QUELLIN program in the repository.
corpus=$build/corpus
for t in fuzz_server fuzz_source fuzz_modules fuzz_reuse; do mkdir -p "$corpus/$t"; done
cp fuzz/seeds/server/* "$corpus/fuzz_server/"
for t in fuzz_source fuzz_modules; do
  [ -d "fuzz/seeds/${t#fuzz_}" ] && cp fuzz/seeds/"${t#fuzz_}"/* "$corpus/$t/"
  find examples stdlib -name '*.qn' -exec cp {} "$corpus/$t/" \;
done

failed=()
for t in "${targets[@]}"; do
  echo "== $t for ${secs}s =="
  artifacts=$build/artifacts/$t
  mkdir -p "$artifacts"
  log=$build/artifacts/$t.log
  # A single input over 10 s is a hang; 2 GB of memory, or one allocation of it, is a runaway.
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$build/fuzz/$t" "$corpus/$t" -dict=fuzz/quellin.dict -max_total_time="$secs" \
      -max_len=4096 -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" >"$log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|#[0-9]+ +DONE)' "$log" || true
  else
    failed+=("$t")
    echo "!! $t failed; the report ($log) ends with:"
    tail -n 60 "$log"
    ls -l "$artifacts"
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
