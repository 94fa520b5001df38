#!/usr/bin/env bash
# The two commands on a fresh Debian, as a newcomer runs them: a debootstrap --variant=minbase
# of the release outside the clone, the README's first steps as root in it (apt-get install git
# sudo, a user in the sudo group), a clone of this checkout's HEAD, and as that user, through
# a login shell and with the umask 002 that Debian 13 gives a user with a group of its own,
# scripts/run --build-only and then scripts/test. Every line is stamped with the minutes
# since the start. The chroot's mounts are undone and the chroot removed however it ends.
#
# usage: fresh-debian.sh [--keep] [--root] RELEASE [COMMAND]
#   RELEASE  trixie (Debian 13) or bookworm (Debian 12)
#   COMMAND  what the user runs in the clone instead of the two commands
#   --keep   leave the chroot and say where it is
#   --root   run them as root (umask 022, apt-get without sudo) instead of the sudo user
#
# The bootstrapped base is kept in $GREIFHOLM_FRESH_DEBIAN_CACHE (/var/cache/greifholm-fresh-
# debian) and bootstrapped anew when it is a week old, so that a week's updates reach it;
# each run works on a copy of it, so every run starts from the same fresh system.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    exec sudo "$0" "$@"
fi

keep=false
user=newcomer
umask=002
while [ "${1:-}" = "--keep" ] || [ "${1:-}" = "--root" ]; do
    case $1 in
    --keep) keep=true ;;
    --root) user=root umask=022 ;;
    esac
    shift
done
release=${1:?usage: fresh-debian.sh [--keep] [--root] RELEASE [COMMAND]}
command=${2:-scripts/run --build-only && scripts/test}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
mirror=http://deb.debian.org/debian
cache=${GREIFHOLM_FRESH_DEBIAN_CACHE:-/var/cache/greifholm-fresh-debian}

started=${EPOCHREALTIME/./}
# Every line with the minutes since the start, so that install and build can be told apart.
stamp() {
    local line tenths
    while IFS= read -r line; do
        tenths=$(((${EPOCHREALTIME/./} - started) / 6000000))
        printf '[%3d.%d] %s\n' $((tenths / 10)) $((tenths % 10)) "$line"
    done
}
say() { echo "== $release: $*" | stamp; }

if ! command -v debootstrap >/dev/null; then
    apt-get update -qq && apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi

base=$cache/$release
if [ ! -f "$base/.complete" ] || [ -n "$(find "$base/.complete" -mtime +6)" ]; then
    say "bootstrapping the base in $base"
    rm -rf --one-file-system "$base"
    mkdir -p "$cache"
    debootstrap --variant=minbase "$release" "$base" "$mirror" 2>&1 | tail -n 2 | stamp
    touch "$base/.complete"
fi

root=$(mktemp -d "/var/tmp/greifholm-$release.XXXXXX")
mounts=()
# Ends every process that still runs in the chroot (an X server, a bus a test left), undoes
# the mounts, newest first, and removes the chroot unless it is kept. Never removes anything
# while something is still mounted below it.
# shellcheck disable=SC2317 # called by the trap below
clean_up() {
    local status=$? proc point i
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill -KILL "${proc#/proc/}" 2>/dev/null
    done
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        point=${mounts[i]}
        umount "$point" 2>/dev/null || umount --lazy "$point" || status=1
    done
    if grep -q " $root/" /proc/mounts; then
        echo "still mounted below $root; left in place" >&2
        status=1
    elif $keep; then
        echo "the chroot stays in $root"
    else
        rm -rf --one-file-system "$root"
    fi
    exit "$status"
}
trap clean_up EXIT
trap 'exit 130' INT TERM

cp -a "$base/." "$root/"
rm -f "$root/.complete"
mount_in() { # mount_in POINT MOUNT-ARGUMENTS...
    mount "${@:2}" "$root/$1"
    mounts+=("$root/$1")
}
mount_in proc -t proc proc
mount_in sys -t sysfs sysfs
mount_in dev --bind /dev
mount_in dev/pts --bind /dev/pts
mount_in dev/shm -t tmpfs -o mode=1777 shm
mount_in run -t tmpfs -o mode=755 run

# As an installation from Debian's media sets it up: the release with its updates.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $release main
deb $mirror $release-updates main
deb http://deb.debian.org/debian-security $release-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"; }

say "as root: apt-get install git sudo$([ "$user" = root ] || echo ", a user in the sudo group")"
{
    in_root apt-get update -qq
    in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq git sudo >/dev/null
    if [ "$user" != root ]; then
        in_root useradd --create-home --shell /bin/bash --groups sudo "$user"
        # sudo asks the user for a password; here nobody types it.
        echo "$user ALL=(ALL:ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$user"
    fi
} 2>&1 | stamp
git -C "$source_dir" bundle create "$root/tmp/greifholm.bundle" HEAD 2>/dev/null
say "as $user (umask $umask): git clone, then $command"
kilobytes_before=$(du -sxk "$root" | cut -f1)
status=0
in_root su --login "$user" --command "umask $umask &&
    git -c init.defaultBranch=main -c advice.detachedHead=false clone -q /tmp/greifholm.bundle greifholm &&
    cd greifholm && $command" 2>&1 | stamp || status=$?
say "the system grew by $(( ($(du -sxk "$root" | cut -f1) - kilobytes_before) / 1024 )) MB; exit $status"
exit "$status"
