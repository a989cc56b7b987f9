#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`: clang, address and undefined-behaviour sanitizers)
# and runs each for a bounded time from its committed seeds. FUZZ_SECONDS sets the time per target
# (default 60). Prints the executions and crashes per target; exits non-zero on any crash.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=build-fuzz

# libFuzzer comes with clang's runtime libraries.
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -- -j2

crashed=0
printf '%-16s %12s %10s %8s\n' target executions exec/s crashes
for source in fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  # Each run starts from the seeds; what it learns stays in the build folder, not in the tree.
  work=$build/corpus/$target
  artifacts=$build/artifacts/$target
  mkdir -p "$work" "$artifacts"
  log=$build/$target.log
  status=0
  # The settings file's target checks its own memory bound; the limits back it up: a file of at
  # most 2 MiB must never take a single allocation of 64 MiB or a process of 512 MiB.
  limits=(-rss_limit_mb=2048)
  [ "$target" = fuzz_ini_file ] && limits=(-rss_limit_mb=512 -malloc_limit_mb=64)
  "$build/bin/$target" -max_total_time="$seconds" -timeout=10 "${limits[@]}" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/$target" \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  runs=${runs:-0}
  crashes=0
  if ((status != 0)); then
    crashes=1
    crashed=1
  fi
  printf '%-16s %12s %10s %8s\n' "$target" "$runs" "$((runs / seconds))" "$crashes"
  if ((status != 0)); then
    { grep -E 'ERROR|property failed|SUMMARY' "$log" || true; } | head -5 | sed 's/^/    /'
    ls "$artifacts" | sed "s|^|    input: $artifacts/|"
  fi
done
exit $crashed
