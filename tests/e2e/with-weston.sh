#!/usr/bin/env bash
# Runs a command as a client of a Wayland compositor: weston, nested in a window of the X
# server DISPLAY names (run it under with-xvfb.sh), so that keys sent there with xdotool reach
# the Wayland client weston gives the focus. The command gets WAYLAND_DISPLAY, and Qt's
# wayland platform.
# Usage: with-weston.sh COMMAND [ARGS...]
set -euo pipefail

command -v weston >/dev/null || { echo "with-weston: weston is not installed" >&2; exit 1; }
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=""
# shellcheck disable=SC2317 # called by the trap below
cleanup() {
    if [ -n "$weston_pid" ]; then kill "$weston_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT

# The CPU renderer, as on a machine without a GPU; weston 10 names it otherwise than 14.
renderer=--use-pixman
if weston --help 2>&1 | grep -q -- '--renderer='; then renderer=--renderer=pixman; fi
export XDG_RUNTIME_DIR=$runtime
weston --backend=x11-backend.so "$renderer" --width=1280 --height=1000 --socket=greifholm-test \
    --idle-time=0 >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [ -S "$runtime/greifholm-test" ] && break
    sleep 0.1
done
[ -S "$runtime/greifholm-test" ] || { echo "with-weston: weston did not start" >&2; cat "$runtime/weston.log" >&2; exit 1; }
export WAYLAND_DISPLAY=greifholm-test QT_QPA_PLATFORM=wayland

set +e
"$@"
status=$?
set -e
exit "$status"
