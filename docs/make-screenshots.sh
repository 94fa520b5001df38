#!/usr/bin/env bash
# Renders the README's pictures into docs/: the main window at rest and during a fall, the
# explanation window and the results window, from the built program on a private Xvfb.
# Needs a build (scripts/test or scripts/run has made one). Takes about a minute.
# Usage: docs/make-screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if [ -z "${GREIFHOLM_IN_XVFB:-}" ]; then
    GREIFHOLM_IN_XVFB=1 exec "$root/tests/e2e/with-xvfb.sh" "$0" "$@"
fi

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/work"
cp "$root/data/spunkte.txt" "$work/work/"
shot="$build/docs/screenshot"
# Where a control of a window is clicked, from the program's own layout.
# The point of a control, as two words "X Y" for xdotool; read into an array so that it is
# split on purpose.
at() { read -r -a point <<<"$("$build/docs/layout-point" "$@")"; }

cd "$work/work"
XDG_DATA_HOME="$work/data" "$build/src/greifholm" &
pid=$!
main=$(xdotool search --sync --onlyvisible --name '^Greifholm-Programm$' | head -n 1)
sleep 1

at Form1 Command1
xdotool mousemove --window "$main" "${point[@]}" click 1
sleep 0.5
"$shot" "$root/docs/main-rest.png" "$main"
"$shot" "$root/docs/main-falling.png" "$main" --falling

at Form1 Command3
xdotool mousemove --window "$main" "${point[@]}" click 1
explanation=$(xdotool search --sync --onlyvisible --name '^Greifholm-Erklärung$' | head -n 1)
sleep 0.5
"$shot" "$root/docs/explanation.png" "$explanation"
at Form3 Command1
xdotool mousemove --window "$explanation" "${point[@]}" click 1

# The rest of the series with both arrows pressed now and then, so that the results show
# reactions rather than whole falls.
results=""
for _ in $(seq 600); do
    xdotool key Left Right
    sleep 0.25
    results=$(xdotool search --onlyvisible --name '^Ergebnis-Greifholmtest$' | head -n 1) || true
    [ -n "$results" ] && break
done
[ -n "$results" ] || { echo "no results window" >&2; exit 1; }
sleep 0.5
"$shot" "$root/docs/results.png" "$results"
echo "docs/main-rest.png docs/main-falling.png docs/explanation.png docs/results.png"
