#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds the Debian package, then checks what
# both hold. Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/greifholm share/greifholm/spunkte.txt share/applications/greifholm.desktop \
            share/icons/hicolor/scalable/apps/greifholm.svg; do
    [ -f "$work/prefix/$file" ] || fail "cmake --install does not install $file"
done
cmp -s "$work/prefix/share/greifholm/spunkte.txt" "$(dirname "$0")/../../data/spunkte.txt" ||
    fail "the installed template differs from data/spunkte.txt"
desktop-file-validate "$work/prefix/share/applications/greifholm.desktop" ||
    fail "desktop-file-validate rejects the menu entry"
grep -qx "Path=$work/prefix/share/greifholm" "$work/prefix/share/applications/greifholm.desktop" ||
    fail "the menu entry does not start the program in the template's folder"

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null) || fail "cpack -G DEB failed"
deb=$(ls "$work"/package/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libxi6 fonts-liberation; do
    grep -q "$needed" <<<"$depends" || fail "the package does not depend on $needed: $depends"
done
contents=$(dpkg-deb -c "$deb")
grep -q './usr/bin/greifholm$' <<<"$contents" || fail "the package lacks usr/bin/greifholm"
grep -q './usr/share/greifholm/spunkte.txt$' <<<"$contents" || fail "the package lacks the template"
dpkg-deb -x "$deb" "$work/unpacked"
grep -qx "Path=/usr/share/greifholm" "$work/unpacked/usr/share/applications/greifholm.desktop" ||
    fail "the packaged menu entry does not start the program in /usr/share/greifholm"
echo "install and package: 1 passed, 0 failed"
