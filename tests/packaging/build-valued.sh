#!/usr/bin/env bash
# Builds the program and its data once more, configured with a publisher's values (homepage,
# screenshots, maintainer), for the install and package check; a test of its own, so that the
# check itself only installs and packages. Usage: build-valued.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DGREIFHOLM_HOMEPAGE=https://example.org/greifholm \
    -DGREIFHOLM_SCREENSHOT_BASE=https://example.org/greifholm/bilder/ \
    -DGREIFHOLM_MAINTAINER_NAME="Erika Mustermann" -DGREIFHOLM_MAINTAINER_EMAIL=erika@example.org \
    >/dev/null
cmake --build "$2" --target greifholm greifholm_data >/dev/null
echo "valued build: 1 passed, 0 failed"
