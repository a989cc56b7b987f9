#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the whole suite under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset ci >/dev/null
cmake --build --preset ci
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset ci -j2
