#!/usr/bin/env bash
# Builds the viewer and the local station, starts the station on a free loopback port and the
# viewer against it; the station stops when the viewer ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

log=$(mktemp)
build/bin/velmora-station --port 0 >"$log" &
station=$!
trap 'kill $station 2>/dev/null; wait $station 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 100); do
  grep -q '^listening on ' "$log" && break
  sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$log" | head -n 1)
[ -n "$address" ] || { echo "the station did not start" >&2; exit 1; }
echo "station at $address"
VELMORA_STATION="$address" VELMORA_AD_URL="http://$address/ad/" build/bin/velmora-tv
