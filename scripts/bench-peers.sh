#!/usr/bin/env bash
# The viewer's CPU while playing against VLC's and mpv's players (bench/bench_peers.cpp). The
# peers are installed here, for the benchmark only; the viewer never depends on them. VLC refuses
# to run as root, so both peers run as an unprivileged user made for the purpose.
#   scripts/bench-peers.sh [ROUNDS] [CPU_SECONDS]      (from the source folder, after a ci build)
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
missing=()
for p in vlc-bin vlc-plugin-base mpv xdotool xvfb xauth; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing for the benchmark: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi
user="${BENCH_PEER_USER:-velbench}"
id -u "$user" >/dev/null 2>&1 || $sudo useradd --system --no-create-home "$user"
export BENCH_PEER_USER="$user"
exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/bench_peers "$@"
