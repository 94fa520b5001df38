#!/usr/bin/env bash
# Runs a command on a private X server: Xvfb on a free display number with the openbox
# window manager, so that windows are mapped, decorated, maximised and focused as on a desktop.
# Usage: with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail

for tool in Xvfb openbox xdotool; do
    command -v "$tool" >/dev/null || { echo "with-xvfb: $tool is not installed" >&2; exit 1; }
done

workdir=$(mktemp -d)
xvfb_pid=""
wm_pid=""
# shellcheck disable=SC2317 # called by the trap below
cleanup() {
    if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$workdir"
}
trap cleanup EXIT

# Xvfb picks a free display itself and tells its number through -displayfd.
mkfifo "$workdir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$workdir/display" \
    >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!
# The benchmark gives the server real-time priority when it may.
export XVFB_PID=$xvfb_pid
read -r -t 20 display_number <"$workdir/display" || {
    echo "with-xvfb: Xvfb did not start" >&2
    cat "$workdir/xvfb.log" >&2
    exit 1
}
export DISPLAY=":$display_number"
unset WAYLAND_DISPLAY

openbox --sm-disable >"$workdir/openbox.log" 2>&1 &
wm_pid=$!
# The benchmark replaces the window manager by a compositing one for one measurement.
export WM_PID=$wm_pid
# The window manager is ready once it has announced itself on the root window.
for _ in $(seq 100); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        break
    fi
    sleep 0.1
done

set +e
"$@"
status=$?
set -e
exit "$status"
