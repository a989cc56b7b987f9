#!/usr/bin/env bash
# The viewer's CPU while playing against VLC's and mpv's players and against ffmpeg's decoding
# alone (bench/bench_peers.cpp), on the stream and on a local file. The peers are installed here,
# for the benchmark only, each with its X11 video output; the viewer never depends on them. VLC
# refuses to run as root, so both peers run as an unprivileged user made for the purpose. The
# root window is black (-br), so that a grab of the screen finds the clip's picture alone.
#   scripts/bench-peers.sh [ROUNDS] [CPU_SECONDS]      (from the source folder, after a ci build)
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
missing=()
# vlc-plugin-video-output holds VLC's xcb_x11 output, which --no-install-recommends leaves out.
for p in vlc-bin vlc-plugin-base vlc-plugin-video-output mpv ffmpeg xdotool xvfb xauth; do
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
exec xvfb-run -a -s "-screen 0 1280x1024x24 -br" build/bin/bench_peers "$@"
