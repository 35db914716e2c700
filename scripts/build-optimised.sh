#!/usr/bin/env bash
# Builds quellin-lsp and quellin-check in Release with profile-guided optimisation (g++): an
# instrumented build first checks a set of training programs, then everything is compiled again with
# the profile those runs recorded. It takes about twice as long as a plain build.
#   bash scripts/build-optimised.sh [BUILD_DIR [TARGET...]]
# BUILD_DIR defaults to build-release; the targets to quellin-lsp and quellin-check. Other cmake
# options can be given through QUELLIN_CMAKE_ARGS (for example -DQUELLIN_BUILD_BENCH=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(quellin-lsp quellin-check)
# shellcheck disable=SC2206 # the extra arguments are split on purpose
extra=(${QUELLIN_CMAKE_ARGS:-})
configure() {
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DQUELLIN_PROFILE="$1" \
    "${extra[@]}" >/dev/null
}

echo "== instrumented build =="
configure generate
cmake --build "$build" -j"$(nproc)" --target quellin-check quellin-gen
# A profile left by an earlier run would be added to this one's, and would describe older sources.
find "$build" -name '*.gcda' -delete

echo "== training runs =="
# Generated programs (seeds other than the benchmarks' default, so the benchmarks do not check the
# very programs the build was trained on), the standard library and the examples, one of which fails.
train=$(mktemp -d)
trap 'rm -rf "$train"' EXIT
"$build/bench/quellin-gen" --lines 20000 --seed 7 --out "$train/large.qn"
"$build/bench/quellin-gen" --lines 400 --modules 30 --seed 11 --out "$train/graph" >/dev/null
# Three rounds on purpose: the measurements in bench/README.md were made with this training, and a
# single round does not give the same server (it came out with 8 KB less code).
for _ in 1 2 3; do
  QUELLIN_STDLIB=stdlib "$build/lsp/bin/quellin-check" "$train/large.qn" "$train/graph/main.qn" \
    examples/inventory/main.qn stdlib/*.qn >/dev/null
  QUELLIN_STDLIB=stdlib "$build/lsp/bin/quellin-check" examples/mistake.qn >/dev/null || [ $? -eq 1 ]
done

echo "== optimised build =="
configure use
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
