#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds the Debian package, then checks what
# both hold: the files, the menu entry, the metainfo, and lintian's verdict on the package.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
app_id=de.greifholm.greifholm

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in games/greifholm share/greifholm/spunkte.txt share/applications/$app_id.desktop \
            share/metainfo/$app_id.metainfo.xml share/icons/hicolor/scalable/apps/greifholm.svg \
            share/man/man6/greifholm.6.gz share/doc/greifholm/copyright \
            share/doc/greifholm/changelog.gz; do
    [ -f "$work/prefix/$file" ] || fail "cmake --install does not install $file"
done
for size in 16 24 32 48 64 128 256; do
    png="$work/prefix/share/icons/hicolor/${size}x${size}/apps/greifholm.png"
    [ -f "$png" ] || fail "no ${size} px icon"
    file "$png" | grep -q "$size x $size" || fail "the ${size} px icon is $(file -b "$png")"
done
gzip -t "$work/prefix/share/man/man6/greifholm.6.gz" || fail "the man page is not gzip"
cmp -s "$work/prefix/share/greifholm/spunkte.txt" "$(dirname "$0")/../../data/spunkte.txt" ||
    fail "the installed template differs from data/spunkte.txt"
desktop-file-validate "$work/prefix/share/applications/$app_id.desktop" ||
    fail "desktop-file-validate rejects the menu entry"
grep -qx "Path=$work/prefix/share/greifholm" "$work/prefix/share/applications/$app_id.desktop" ||
    fail "the menu entry does not start the program in the template's folder"
appstreamcli validate --pedantic --no-net "$work/prefix/share/metainfo/$app_id.metainfo.xml" ||
    fail "appstreamcli rejects the metainfo"

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null) || fail "cpack -G DEB failed"
deb=$(ls "$work"/package/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libxi6 fonts-liberation qt6-translations-l10n libqt6svg6; do
    grep -q "$needed" <<<"$depends" || fail "the package does not depend on $needed: $depends"
done
contents=$(dpkg-deb -c "$deb")
grep -q './usr/games/greifholm$' <<<"$contents" || fail "the package lacks usr/games/greifholm"
grep -q './usr/share/greifholm/spunkte.txt$' <<<"$contents" || fail "the package lacks the template"
dpkg-deb -x "$deb" "$work/unpacked"
entry="$work/unpacked/usr/share/applications/$app_id.desktop"
grep -qx "Path=/usr/share/greifholm" "$entry" ||
    fail "the packaged menu entry does not start the program in /usr/share/greifholm"
grep -qx "Exec=/usr/games/greifholm" "$entry" || fail "the packaged menu entry does not run /usr/games/greifholm"
# Errors and warnings fail; the pedantic and informational tags are printed for the reader.
lintian --pedantic -I --fail-on error,warning "$deb" || fail "lintian rejects the package"
echo "install and package: 1 passed, 0 failed"
