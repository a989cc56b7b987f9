#!/usr/bin/env bash
# The Debian package as a user meets it: builds the .deb (Debian's hardening flags, under /usr),
# checks it with lintian, installs it with apt-get, runs /usr/bin/velmora-tv as an unprivileged
# user under Xvfb against the local station with a fresh XDG_DATA_HOME, compares what it made
# with a session of the build tree's viewer, and purges the package again.
# Needs root, and the build tree of scripts/test.sh for the station and the viewer to compare.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
scripts/deps.sh --package

source_dir=$PWD
station_bin=$source_dir/build/bin/velmora-station
tree_viewer=$source_dir/build/bin/velmora-tv
user=velmora-test
passed=0

work=$(mktemp -d)
chmod 755 "$work"
station=""
created_user=""
cleanup() {
  [ -z "$station" ] || kill "$station" 2>/dev/null || true
  if dpkg-query -W -f='${db:Status-Status}' velmora-tv 2>/dev/null | grep -q installed; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq velmora-tv >/dev/null 2>&1 || true
  fi
  [ -z "$created_user" ] || userdel --remove "$user" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "package test: $passed passed, 1 failed"
  exit 1
}
pass() {
  passed=$((passed + 1))
  echo "PASS: $*"
}

[ -x "$station_bin" ] && [ -x "$tree_viewer" ] || fail "no build tree: run scripts/test.sh first"

# The package, built in its own tree as Debian builds its own.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cmake --preset package -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build --preset package
rm -f build-package/velmora-tv_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(echo build-package/velmora-tv_*_*.deb)
[ -f "$deb" ] || fail "cpack made no package"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
lintian --fail-on error --display-info --pedantic "$deb" || fail "lintian reports errors"
pass "$deb built, lintian reports no error"

# The station on a free loopback port, for both sessions.
"$station_bin" --port 0 >"$work/station.log" 2>&1 &
station=$!
for _ in $(seq 100); do
  grep -q '^listening on ' "$work/station.log" && break
  sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$work/station.log" | head -n 1)
[ -n "$address" ] || fail "the station did not start"

# One session: start the viewer, wait until it is ready, end it with Ctrl+Q as a user would.
cat >"$work/session.sh" <<'EOF'
#!/usr/bin/env bash
set -u
viewer=$1 out=$2
"$viewer" >"$out/stdout.log" 2>"$out/stderr.log" &
pid=$!
for _ in $(seq 600); do
  grep -q ' ready ' "$VELMORA_TRACE" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
for _ in $(seq 20); do
  kill -0 "$pid" 2>/dev/null || break
  timeout 10 xdotool search --sync --onlyvisible --name '^Velmora网络电视$' \
    windowfocus --sync key ctrl+q >/dev/null 2>&1
  for _ in $(seq 10); do
    kill -0 "$pid" 2>/dev/null || break 2
    sleep 0.1
  done
done
kill -0 "$pid" 2>/dev/null && kill -9 "$pid"
wait "$pid"
echo $? >"$out/exit"
EOF
chmod 755 "$work/session.sh"

# The build tree's viewer as a portable copy: the files it makes are the reference.
mkdir "$work/tree"
cp "$tree_viewer" "$source_dir/build/bin/软件特性.txt" "$work/tree/"
env VELMORA_STATION="$address" VELMORA_AD_URL="http://$address/ad/" \
  VELMORA_TRACE="$work/tree/trace.log" VELMORA_AUDIO_OUTPUT=adummy \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh" "$work/tree/velmora-tv" "$work/tree"
[ "$(cat "$work/tree/exit")" = 0 ] || fail "the build tree's viewer ended with $(cat "$work/tree/exit")"

# Installed as a user installs it.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
dpkg -L velmora-tv >"$work/package-files"
pass "installed with apt-get: $(grep -c . "$work/package-files") paths"
marker=$work/installed-at
touch "$marker"

if ! id -u "$user" >/dev/null 2>&1; then
  useradd --create-home --shell /usr/sbin/nologin "$user"
  created_user=1
fi
home=$(getent passwd "$user" | cut -d: -f6)
mkdir -p "$work/user/runtime"
chmod 700 "$work/user/runtime"
chown -R "$user:" "$work/user"
as_user() {
  runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$work/user/runtime" "$@"
}

[ "$(as_user /usr/bin/velmora-tv --version)" = "velmora-tv 2.1.0" ] || fail "--version"
pass "/usr/bin/velmora-tv --version"

as_user XDG_DATA_HOME="$work/user/data" VELMORA_STATION="$address" \
  VELMORA_AD_URL="http://$address/ad/" VELMORA_TRACE="$work/user/trace.log" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh" /usr/bin/velmora-tv "$work/user"
[ "$(cat "$work/user/exit")" = 0 ] || fail "the installed viewer ended with $(cat "$work/user/exit")"
pass "the installed viewer started as $user and ended with Ctrl+Q"

# What it made is what the build tree's viewer made, in the data home.
data=$work/user/data/velmora-tv
# Leaving keeps the window's place and the volume in settings.json; the lock goes with it.
[ "$(ls -A "$data" | tr '\n' ' ')" = "settings.json spsj.txt xzwj " ] || fail "the data folder holds: $(ls -A "$data")"
[ "$(ls "$data/xzwj" | tr '\n' ' ')" = "qcbd.txt xwlb.txt ydlt.txt ydsk.txt zjnj.txt " ] ||
  fail "the download folder holds: $(ls "$data/xzwj")"
diff -r "$work/tree/xzwj" "$data/xzwj" >/dev/null || fail "the list files differ from the build tree's"
cmp -s "$work/tree/spsj.txt" "$data/spsj.txt" || fail "spsj.txt differs from the build tree's"
[ "$(grep -c $'\r$' "$data/spsj.txt")" = 175 ] || fail "spsj.txt does not hold the 175 entries"
for f in "$data"/xzwj/*; do [ -s "$f" ] || fail "empty list file $f"; done
pass "list files and spsj.txt in \$XDG_DATA_HOME/velmora-tv, as the build tree's viewer made them"

menu() { sed -n 's/^[0-9]* \(group .*\|ready .*\)$/\1/p' "$1"; }
expected_menu='group 新闻联播 50
group 药都时空 50
group 走进农家 20
group 谯城报道 48
group 药都论坛 7
ready disabled=播放,暂停,停止'
[ "$(menu "$work/user/trace.log")" = "$expected_menu" ] ||
  fail "the menu: $(menu "$work/user/trace.log")"
[ "$(menu "$work/tree/trace.log")" = "$expected_menu" ] || fail "the build tree's menu differs"
pass "the menu: five groups of 50/50/20/48/7 items, as in the build tree"

lines=$(grep -c . "$work/user/stderr.log" || true)
[ "$lines" -le 2 ] || fail "$lines lines on standard error: $(cat "$work/user/stderr.log")"
pass "$lines lines on standard error"

# Nothing written under /usr: the package's files are intact and no data file appeared there.
dpkg --verify velmora-tv || fail "the package's files changed"
written=$(find /usr/bin /usr/share/velmora-tv -newer "$marker" -print)
[ -z "$written" ] || fail "written under /usr: $written"
strays=$(find /usr -xdev \( -name xzwj -o -name spsj.txt -o -name index.ini \) -newer "$marker" -print)
[ -z "$strays" ] || fail "data files under /usr: $strays"
pass "nothing written under /usr"

# Purged, it leaves nothing behind.
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq velmora-tv >/dev/null
status=$(dpkg-query -W -f='${db:Status-Status}' velmora-tv 2>/dev/null || echo not-installed)
[ "$status" = not-installed ] || fail "after purge the package is $status"
while read -r path; do
  [ -d "$path" ] && continue
  [ ! -e "$path" ] || fail "left behind: $path"
done <"$work/package-files"
for dir in /usr/share/velmora-tv /usr/share/doc/velmora-tv; do
  [ ! -e "$dir" ] || fail "left behind: $dir"
done
pass "apt-get purge leaves nothing behind"

echo "package test: $passed passed, 0 failed"
