#!/usr/bin/env bash
# Times quellin-check over a whole project against a check of that project's root alone: 1,000
# modules of 500 lines importing each other as a binary tree (module k imports 2k+1 and 2k+2), so the
# root's check loads and checks every module once. Checking every file from scratch (--no-reuse)
# checks each module once for every module above it as well; with reuse (the default), each thread
# parses and checks a module at most once as an import. Runs alternate, and each kind's median is
# reported.
#   bash bench/check_project.sh [BUILD_DIR] [ROUNDS] [JOBS]
# BUILD_DIR defaults to build (any configured build directory: Release or profile-optimised ones
# give the figures users see); ROUNDS to 5; JOBS to 2.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}
jobs=${3:-2}

cmake --build "$build" -j2 --target quellin-check quellin-gen >/dev/null
check="$build/lsp/bin/quellin-check"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/quellin-gen" --lines 500 --modules 1000 --graph tree --out "$work/tree"
export QUELLIN_STDLIB="$PWD/stdlib"

# Milliseconds taken by one run, which must find the program clean; its peak memory goes to $work/kib.
run_ms() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$work/kib" "$@" >/dev/null 2>"$work/err"
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

root=()
project=()
scratch=()
echo "round  root alone (ms, MiB)  -j $jobs every file (ms, MiB)  -j $jobs every file, --no-reuse (ms, MiB)"
for ((i = 1; i <= rounds; ++i)); do
  r=$(run_ms "$check" "$work/tree/mod000.qn"); r_kib=$(cat "$work/kib")
  p=$(run_ms "$check" -j "$jobs" "$work/tree"); p_kib=$(cat "$work/kib")
  s=$(run_ms "$check" --no-reuse -j "$jobs" "$work/tree"); s_kib=$(cat "$work/kib")
  root+=("$r")
  project+=("$p")
  scratch+=("$s")
  printf '%5d  %8d %6d         %8d %6d              %8d %6d\n' "$i" "$r" $((r_kib / 1024)) "$p" $((p_kib / 1024)) \
    "$s" $((s_kib / 1024))
done
r=$(median "${root[@]}")
p=$(median "${project[@]}")
s=$(median "${scratch[@]}")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "median: root alone $r ms; every file with -j $jobs $p ms ($(ratio "$p" "$r")× the root alone)," \
  "from scratch $s ms ($(ratio "$s" "$r")×)"
