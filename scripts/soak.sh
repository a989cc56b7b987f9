#!/usr/bin/env bash
# Runs the whole suite N times in a row (default 20) after one build, and counts the runs that
# failed. A test that fails by chance is a defect: run this idle and under `stress --cpu 2`.
# The logs of failed runs are kept in build/soak/. Each run gets an X server of its own, picked by
# the server itself (-displayfd): `xvfb-run -a` can hand two suites started at once the same
# display, and the first to finish takes it away from the other.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
scripts/deps.sh
cmake --preset ci >/dev/null
cmake --build --preset ci >/dev/null
mkdir -p build/soak
failed=0
for i in $(seq "$runs"); do
  log=build/soak/run-$i.log
  start=$(date +%s)
  : >build/soak/display
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>build/soak/display 2>/dev/null &
  xvfb=$!
  for _ in $(seq 100); do # the server writes its number once it listens
    [ -s build/soak/display ] && break
    sleep 0.1
  done
  display=$(cat build/soak/display)
  if DISPLAY=":$display" ctest --preset ci -j2 >"$log" 2>&1; then
    echo "run $i/$runs: passed in $(($(date +%s) - start)) s, load $(cut -d" " -f1 /proc/loadavg)"
    rm -f "$log"
  else
    failed=$((failed + 1))
    echo "run $i/$runs: FAILED in $(($(date +%s) - start)) s:" \
      "$(grep -E '^\s+[0-9]+ - ' "$log" | sed 's/^ *[0-9]* - //' | tr '\n' ' ')(log: $log)"
  fi
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
done
echo "$failed of $runs runs failed"
[ "$failed" -eq 0 ]
