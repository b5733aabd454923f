#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz and runs them.
#   scripts/fuzz.sh [SECONDS]         every target for SECONDS (default 60), starting from its seed corpus
#                                     and its regression inputs; fails when any target finds a crash.
#                                     0 only replays the seed and regression inputs.
#   scripts/fuzz.sh TARGET FILE...    one target (cpu_routines, upscale_rgba, api_calls, tool_options,
#                                     png_reader, video_reader) on the given inputs: reproduces a crash
#                                     from its file
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=build-fuzz
targets=(cpu_routines upscale_rgba api_calls tool_options png_reader video_reader)

bash scripts/install-deps.sh --fuzz
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_BUILD_FUZZERS=ON \
  -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_BENCH=OFF -DVELMO_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" >/dev/null

export EGL_PLATFORM=surfaceless
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1"

if [ $# -ge 2 ]; then
  target=$1
  shift
  exec "$build_dir/fuzz/${target}_fuzzer" "$@"
fi

seconds=${1:-60}
failed=()
for target in "${targets[@]}"; do
  # New inputs go to a scratch folder; the corpora in the repository are only read.
  work="$build_dir/corpus/$target"
  log="$build_dir/$target.log"
  mkdir -p "$work" "$build_dir/crashes"
  inputs=("fuzz/corpus/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  status=0
  if [ "$seconds" -eq 0 ]; then
    limit=(-runs=0)
  else
    limit=(-max_total_time="$seconds")
  fi
  "$build_dir/fuzz/${target}_fuzzer" "${limit[@]}" -print_final_stats=1 \
    -artifact_prefix="$build_dir/crashes/$target-" "$work" "${inputs[@]}" >"$log" 2>&1 || status=$?
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
  speed=$(grep -o 'average_exec_per_sec: *[0-9]*' "$log" | tr -s ' ' || true)
  echo "$target: ${coverage:-no coverage line}, ${speed:-no speed line}"
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    grep -v '^#' "$log" | tail -n 40
    for crash in "$build_dir"/crashes/"$target"-*; do
      [ -e "$crash" ] && echo "reproduce: scripts/fuzz.sh $target $crash"
    done
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
