#!/usr/bin/env bash
# The install tree: `cmake --install` puts exactly the viewer's files under a prefix, the
# desktop entry and the AppStream metainfo pass their validators, the manual page formats
# cleanly and each icon has the size its folder names. The station installs only on request.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix/viewer" >/dev/null
expected='bin/velmora-tv
share/applications/cn.com.velmoratv.tv.desktop
share/doc/velmora-tv/changelog.Debian.gz
share/doc/velmora-tv/copyright
share/icons/hicolor/128x128/apps/velmora-tv.png
share/icons/hicolor/16x16/apps/velmora-tv.png
share/icons/hicolor/256x256/apps/velmora-tv.png
share/icons/hicolor/32x32/apps/velmora-tv.png
share/icons/hicolor/48x48/apps/velmora-tv.png
share/icons/hicolor/64x64/apps/velmora-tv.png
share/icons/hicolor/scalable/apps/velmora-tv.svg
share/man/man1/velmora-tv.1.gz
share/metainfo/cn.com.velmoratv.tv.metainfo.xml
share/velmora-tv/软件特性.txt'
actual=$(cd "$prefix/viewer" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$(LC_ALL=C sort <<<"$expected")" ] ||
  fail "installed files differ:"$'\n'"$(diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual"))"
[ -x "$prefix/viewer/bin/velmora-tv" ] || fail "the viewer is not executable"

desktop=$prefix/viewer/share/applications/cn.com.velmoratv.tv.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
# "Open with" passes the chosen files and addresses, and offers the viewer for the types the
# player opens: for each extension, one of the types the desktop's database gives it, and the
# two schemes of Windows Media streams.
grep -qx 'Exec=velmora-tv %U' "$desktop" || fail "the desktop entry's Exec= takes no %U"
mime_types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d')
[ -r /usr/share/mime/globs2 ] || fail "no shared MIME database (/usr/share/mime/globs2)"
for ext in wmv asf wma mp4 mkv webm avi mpeg ts flv ogg mp3 wav flac m4a; do
  grep -qxFf <(sed -n "s/^[0-9]*:\([^:]*\):\*\.$ext\$/\1/p" /usr/share/mime/globs2) \
    <<<"$mime_types" || fail "MimeType= has no type of *.$ext"
done
for type in x-scheme-handler/mms x-scheme-handler/mmsh; do
  grep -qxF "$type" <<<"$mime_types" || fail "MimeType= lacks $type"
done
# Each type is one the database knows (by its name or as an alias), so none is misspelt.
for type in $mime_types; do
  case $type in x-scheme-handler/*) continue ;; esac
  grep -qxF "$type" /usr/share/mime/types || cut -d' ' -f1 /usr/share/mime/aliases | grep -qxF "$type" ||
    fail "MimeType= names $type, which the MIME database does not know"
done
appstreamcli validate --no-net "$prefix/viewer/share/metainfo/cn.com.velmoratv.tv.metainfo.xml" ||
  fail "appstreamcli validate"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l \
  "$prefix/viewer/share/man/man1/velmora-tv.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page: $warnings"

for size in 16 32 48 64 128 256; do
  file "$prefix/viewer/share/icons/hicolor/${size}x$size/apps/velmora-tv.png" |
    grep -q "PNG image data, $size x $size," || fail "the $size px icon has another size"
done
grep -q '^<svg .*viewBox="0 0 256 256"' "$prefix/viewer/share/icons/hicolor/scalable/apps/velmora-tv.svg" ||
  fail "the scalable icon is no SVG"
cmp -s "$prefix/viewer/share/velmora-tv/软件特性.txt" \
  "$(dirname "$0")/../../src/ui/assets/软件特性.txt" || fail "the features text differs"

cmake --install "$build" --prefix "$prefix/station" --component station >/dev/null
actual=$(cd "$prefix/station" && find . ! -type d | sed 's|^\./||')
[ "$actual" = "bin/velmora-station" ] || fail "the station component holds: $actual"

echo "install tree: 14 files as expected, validators pass, $(wc -w <<<"$mime_types") types to open"
