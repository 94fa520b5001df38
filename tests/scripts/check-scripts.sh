#!/usr/bin/env bash
# scripts/test and scripts/run with stand-ins for the tools they call: the exit status and
# closing line of scripts/test follow what ctest found in each run, its sanitizer build builds
# only the headless tests it runs, and scripts/run checks for a display before anything else.
# usage: check-scripts.sh SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$1/scripts" "$work/"
mkdir "$work/bin" "$work/build" "$work/build-sanitize"
# Every package installed, unless $MISSING asks for an install.
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
[ -n "$MISSING" ] || echo "install ok installed"
EOF
# A user in the sudo group: sudo passes on no descriptor beyond the standard three, and apt
# writes its progress where APT::Status-Fd says.
cat >"$work/bin/id" <<'EOF'
#!/bin/sh
if [ "$1" = -u ]; then echo 1000; else exec /usr/bin/id "$@"; fi
EOF
cat >"$work/bin/sudo" <<'EOF'
#!/bin/sh
exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-
exec "$@"
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/bash
for word in "$@"; do
    case "$word" in
    APT::Status-Fd=*) echo "dlstatus:1:55.0:x" >&"${word#*=}"; echo "pmstatus:p:55:x" >&"${word#*=}" ;;
    esac
done
EOF
cat >"$work/bin/cmake" <<'EOF'
#!/bin/sh
echo "cmake $*" >>"$CALLS"
EOF
# Fails the run whose label regex names $FAIL_LABEL, as ctest reports a failed test.
cat >"$work/bin/ctest" <<'EOF'
#!/bin/sh
case "$*" in
*"$FAIL_LABEL"*) echo "50% tests passed, 1 tests failed out of 2"; exit 8 ;;
esac
echo "100% tests passed, 0 tests failed out of 2"
EOF
chmod +x "$work/bin/"*

failures=0
# expect FAIL_LABEL STATUS LAST_LINE
expect() {
    local status=0 output
    output=$(FAIL_LABEL=$1 CALLS="$work/calls" PATH="$work/bin:$PATH" "$work/scripts/test" 2>&1) ||
        status=$?
    if [ "$status" -ne "$2" ] || [ "$(tail -n 1 <<<"$output")" != "$3" ]; then
        echo "failing $1: exit $status, last line '$(tail -n 1 <<<"$output")'; wanted $2, '$3'"
        failures=$((failures + 1))
    fi
}
expect nothing 0 "Greifholm: 6 passed, 0 failed"
expect x11 1 "Greifholm: 5 passed, 1 failed"
expect 'headless|packaging' 1 "Greifholm: 5 passed, 1 failed"
if ! grep -q -- "--build $work/build-sanitize .*--target greifholm_headless_tests" "$work/calls" ||
    grep -- "--build $work/build-sanitize" "$work/calls" | grep -q -v -- "--target"; then
    echo "the sanitizer build builds more than the headless tests:"
    grep -- "build-sanitize" "$work/calls"
    failures=$((failures + 1))
fi
# A sudo user sees the install's progress.
if ! MISSING=1 CALLS="$work/calls" PATH="$work/bin:$PATH" "$work/scripts/run" --build-only \
    >"$work/output" 2>&1 || ! grep -q "downloading: 55 %" "$work/output"; then
    echo "a sudo user sees no install progress"
    failures=$((failures + 1))
fi
# scripts/run without a display says so before it installs or builds anything; with
# --build-only it builds all the same and starts nothing.
: >"$work/calls"
if env -u DISPLAY CALLS="$work/calls" PATH="$work/bin:$PATH" "$work/scripts/run" >/dev/null 2>&1 ||
    [ -s "$work/calls" ]; then
    echo "scripts/run went on without a display"
    failures=$((failures + 1))
fi
if ! env -u DISPLAY CALLS="$work/calls" PATH="$work/bin:$PATH" "$work/scripts/run" --build-only \
    >/dev/null 2>&1 || ! grep -q -- "--target greifholm" "$work/calls"; then
    echo "scripts/run --build-only did not build"
    failures=$((failures + 1))
fi
echo "scripts: $((7 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
