# Shared by scripts/run and scripts/test: installs missing Debian packages and builds.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_DIR="$ROOT/build"

# What building and running the program needs (read by the scripts that source this file).
# shellcheck disable=SC2034
RUN_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libqt6test6 libgl-dev
    libx11-dev libxext-dev libxi-dev libxtst-dev libxcb1-dev libdbus-1-dev
    libwayland-dev wayland-protocols qt6-base-private-dev qt6-wayland
    fonts-liberation qt6-translations-l10n libqt6svg6 librsvg2-bin
)
# What the tests need besides: a private X server, a window manager, XTEST input, window
# inspection, a Wayland compositor to nest in it, the tools that check the menu entry, the
# metainfo and the Debian package, and the checks of the sources' format and the scripts.
# shellcheck disable=SC2034
TEST_PACKAGES=(xvfb openbox xdotool x11-utils xauth weston desktop-file-utils appstream lintian
               dpkg-dev clang-format shellcheck)
# What the benchmark (scripts/bench) needs besides the test tools: the compositors of Debian's
# desktops for the composited measurement (GNOME's, KDE's on X11 and Wayland, Xfce's, picom),
# Xwayland, and a session bus.
# shellcheck disable=SC2034
BENCH_PACKAGES=(mutter kwin-x11 kwin-wayland xwayland xfwm4 picom dbus-daemon dbus-bin)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "Needs root for: $*. Run as root, or install sudo and be in the sudo group." >&2
        return 1
    fi
}

install_missing() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        # The package manager's details go to a log of this command's own, appended with a
        # heading; the progress of downloading and installing is shown as it goes. apt writes
        # its status lines to its standard output, as sudo passes on no other descriptor.
        mkdir -p "$BUILD_DIR"
        local log
        log="$BUILD_DIR/install-$(basename "$0").log"
        echo "== Installing ${missing[*]} and what they need (details: ${log#"$ROOT"/})"
        echo "==== $(date -u '+%Y-%m-%d %H:%M:%S UTC'): ${missing[*]}" >>"$log"
        # shellcheck disable=SC2094 # both append to the log, neither reads it
        if ! { as_root apt-get update -qq >>"$log" 2>&1 &&
               as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
                   --no-install-recommends -o APT::Status-Fd=1 "${missing[@]}" 2>>"$log" |
                   tee -a "$log" | show_progress; }; then
            tail -n 30 "$log" >&2
            echo "Installing the packages failed; details: $log" >&2
            return 1
        fi
    fi
}

# Turns apt's status lines (dlstatus:…:PERCENT:…, pmstatus:…:PERCENT:…) into one progress line
# per tenth: downloading, then unpacking and setting up.
show_progress() {
    local kind _ percent shown=""
    while IFS=: read -r kind _ percent _; do
        case "$kind" in
        dlstatus) kind="downloading" ;;
        pmstatus) kind="installing" ;;
        *) continue ;;
        esac
        percent=${percent%%.*}
        if [ "$kind $((percent / 10))" != "$shown" ]; then
            shown="$kind $((percent / 10))"
            echo "   $kind: $percent %"
        fi
    done
}

configure() {
    # configure DIR [CMAKE OPTIONS...]. Warnings are errors for both commands, so that
    # scripts/run and scripts/test share build/ and neither builds the other's work again.
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGREIFHOLM_WERROR=ON \
        "$@" >/dev/null
}

build() {
    # build [DIR [CMAKE OPTIONS...]]: configures and builds everything, in build/ unless told
    # otherwise.
    local dir=${1:-$BUILD_DIR}
    shift || true
    echo "== Building in ${dir#"$ROOT"/}/"
    configure "$dir" "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
