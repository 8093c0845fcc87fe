#!/usr/bin/env bash
# Runs a command on a newcomer's Debian machine: a fresh copy of a minimal debootstrap root of the
# release named, with a clean clone of this repository's current commit. See --help.
set -euo pipefail

CACHE="${CM3D_FRESH_DIR:-/var/cache/contourmap3d-fresh}"
# Prints "URI SUITE..." for each Debian source of this machine's apt configuration, deb822
# .sources files and one-line lists alike.
apt_sources() {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && awk '
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { if (uri != "" && deb) print uri, suites; uri = ""; suites = ""; deb = 0; next }
            tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
            tolower($1) == "uris:" { uri = $2 }
            tolower($1) == "suites:" { suites = ""; for (i = 2; i <= NF; i++) suites = suites " " $i }
            END { if (uri != "" && deb) print uri, suites }' "$f"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] && awk '$1 == "deb" { i = 2; if ($i ~ /^\[/) while ($i !~ /\]$/) i++;
                                          if ($i ~ /\]$/ && $2 ~ /^\[/) i++; print $i, $(i + 1) }' "$f"
    done
    return 0
}

# The machine's own mirror (security: the one serving the -security suites), as apt uses it.
apt_mirror() {
    apt_sources | awk -v want="$1" '{
        security = 0; for (i = 2; i <= NF; i++) if ($i ~ /-security$/) security = 1
        if ((want == "security") == security) { print $1; exit } }'
}

MIRROR="${CM3D_FRESH_MIRROR:-$(apt_mirror main)}"
SECURITY_MIRROR="${CM3D_FRESH_SECURITY_MIRROR:-$(apt_mirror security)}"
# Exit status when the mirror cannot be reached, so that a caller can tell it from a failure.
EX_OFFLINE=75
HERE=$(cd "$(dirname "$0")" && pwd)

usage() {
    cat <<USAGE
usage: tools/fresh-machine.sh [--keep] [--rebuild] RELEASE [COMMAND [ARGS...]]
       tools/fresh-machine.sh --check-mirror RELEASE

Runs COMMAND (default: ./run test) as root in a fresh copy of a minimal Debian RELEASE root
(bookworm = Debian 12, trixie = Debian 13), in a clean clone of this repository's current commit
at /root/contourmap3d, with no display, as on a newcomer's machine: the root holds Debian's
minbase with git and ca-certificates, so ./run installs everything else itself. Uncommitted
changes are not in the clone. Examples:

  tools/fresh-machine.sh trixie
  tools/fresh-machine.sh bookworm ./run demo
  tools/fresh-machine.sh trixie sh -c './run build && build/bench/select-growth 100'

The first run of a release builds its root with debootstrap (installed on this machine when
missing), a few minutes; later runs copy it. Downloaded .deb files are kept for later runs.
Everything lives in $CACHE (set CM3D_FRESH_DIR to move it):
  RELEASE/root    the root, never changed after it is built
  RELEASE/debs    downloaded .deb files
  RELEASE/runs/*  the copies, each removed with its mounts when its run ends, however it ends

  --keep          keep the copy (its mounts are removed) and say where it is
  --rebuild       build the root again (a point release later, say)
  --check-mirror  only check that $MIRROR serves RELEASE; status 0 if so,
                  otherwise one line saying why and status $EX_OFFLINE

Needs root (debootstrap, chroot, mounts); asks sudo when not run as root. The exit status is
the command's, $EX_OFFLINE when the mirror cannot be reached. The mirrors are this
machine's own, as its apt configuration names them (now: ${MIRROR:-none} and
${SECURITY_MIRROR:-none}); CM3D_FRESH_MIRROR and CM3D_FRESH_SECURITY_MIRROR choose others.
USAGE
}

log() { echo "[fresh-machine] $*" >&2; }
die() {
    log "$*"
    exit 2
}

ARGS=("$@")
keep=0
rebuild=0
check_only=0
while [ $# -gt 0 ]; do
    case "$1" in
        -h | --help)
            usage
            exit 0
            ;;
        --keep) keep=1 ;;
        --rebuild) rebuild=1 ;;
        --check-mirror) check_only=1 ;;
        -*) die "unknown option $1 (see --help)" ;;
        *) break ;;
    esac
    shift
done
[ $# -ge 1 ] || {
    usage >&2
    exit 2
}
RELEASE=$1
shift
[[ "$RELEASE" =~ ^[a-z]+$ ]] || die "not a Debian release name: $RELEASE (bookworm, trixie)"
COMMAND=("$@")
[ ${#COMMAND[@]} -gt 0 ] || COMMAND=(./run test)

# apt's own downloader: it is on every Debian machine and honours apt's proxy settings.
mirror_reachable() {
    local probe
    probe=$(mktemp)
    if timeout 30 /usr/lib/apt/apt-helper download-file "$MIRROR/dists/$RELEASE/InRelease" \
        "$probe" >/dev/null 2>&1 && [ -s "$probe" ]; then
        rm -f "$probe"
        return 0
    fi
    rm -f "$probe"
    return 1
}

if [ -z "$MIRROR" ]; then
    reason="no Debian mirror in this machine's apt configuration (/etc/apt/sources.list*); set CM3D_FRESH_MIRROR"
    if [ $check_only -eq 1 ]; then echo "$reason"; else log "$reason"; fi
    exit $EX_OFFLINE
fi
if ! mirror_reachable; then
    reason="the Debian mirror $MIRROR cannot be reached (no $RELEASE release file within 30 s)"
    # Alone on standard output for a caller that reports it; with the others otherwise.
    if [ $check_only -eq 1 ]; then echo "$reason"; else log "$reason"; fi
    exit $EX_OFFLINE
fi
[ $check_only -eq 1 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || die "needs root (debootstrap, chroot, mounts), or sudo"
    exec sudo env CM3D_FRESH_DIR="$CACHE" CM3D_FRESH_MIRROR="$MIRROR" \
        CM3D_FRESH_SECURITY_MIRROR="$SECURITY_MIRROR" "$0" "${ARGS[@]}"
fi
command -v git >/dev/null || die "needs git on this machine to clone the repository"
# The checkout may belong to another user than root (a CI runner's, say).
repo_git() { git -c safe.directory='*' -C "$REPO" "$@"; }
REPO=$HERE/..
REPO=$(repo_git rev-parse --show-toplevel)
COMMIT=$(repo_git rev-parse HEAD)
if [ -n "$(repo_git status --porcelain --untracked-files=no)" ]; then
    log "note: uncommitted changes in $REPO are not in the clone"
fi

if ! command -v debootstrap >/dev/null; then
    log "installing debootstrap"
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends debootstrap; } >/dev/null 2>&1 ||
        die "could not install debootstrap (apt-get install debootstrap)"
fi

mkdir -p "$CACHE/$RELEASE/runs" "$CACHE/$RELEASE/debs"
# Resolved, because the processes in a copy show it resolved as their root.
BASE=$(realpath "$CACHE/$RELEASE")
ROOT="$BASE/root"
DEBS="$BASE/debs"

# The folder being worked in: root.new while the root is built, then the run's copy. Whatever
# happens, the exit trap ends what still runs in it, unmounts what is mounted in it and removes it.
SCRATCH=""

# Every process whose root is the scratch folder, found through /proc: the command (or
# debootstrap) may have left children behind.
processes_in_scratch() {
    local dir
    for dir in /proc/[0-9]*; do
        [ "$(readlink "$dir/root" 2>/dev/null)" = "$SCRATCH" ] && echo "${dir#/proc/}"
    done
    return 0
}

mounts_in_scratch() {
    # Deepest first, so that nested mounts go before their parents.
    awk -v dir="$SCRATCH" '$5 == dir || index($5, dir "/") == 1 { print $5 }' \
        /proc/self/mountinfo | sort -r
}

cleanup() {
    local rc=$?
    trap - EXIT INT TERM HUP
    set +e
    [ -n "$SCRATCH" ] || exit "$rc"
    local pids m
    pids=$(processes_in_scratch)
    if [ -n "$pids" ]; then
        # shellcheck disable=SC2086
        kill -TERM $pids 2>/dev/null
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            pids=$(processes_in_scratch)
            [ -z "$pids" ] && break
            sleep 1
        done
        # shellcheck disable=SC2086
        [ -n "$pids" ] && kill -KILL $pids 2>/dev/null && sleep 0.5
    fi
    # Packages a run downloaded are hard-linked into the cache for the next one.
    if [ "$SCRATCH" != "$BASE/root.new" ] && [ -d "$SCRATCH/var/cache/apt/archives" ]; then
        find "$SCRATCH/var/cache/apt/archives" -maxdepth 1 -name '*.deb' \
            -exec cp -n -l -t "$DEBS" {} + 2>/dev/null
    fi
    for m in $(mounts_in_scratch); do
        umount "$m" 2>/dev/null || umount -l "$m"
    done
    if [ -n "$(mounts_in_scratch)" ]; then
        # Removing files under a mount of /dev would remove the host's.
        log "could not unmount everything under $SCRATCH; leaving it in place"
    elif [ $keep -eq 1 ] && [ "$SCRATCH" != "$BASE/root.new" ]; then
        log "kept the copy: $SCRATCH (chroot $SCRATCH, clone in /root/contourmap3d)"
    else
        rm -rf --one-file-system "$SCRATCH"
    fi
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# The root as a newcomer's machine has it: minbase, git to clone with, certificates for https
# remotes, and the release's updates and security suites as the installer sets them up.
build_root() {
    local script="" log="$BASE/debootstrap.log" pid
    # An older debootstrap may not know a newer release by name; Debian's releases since
    # bookworm all bootstrap like sid.
    [ -e "/usr/share/debootstrap/scripts/$RELEASE" ] || script=/usr/share/debootstrap/scripts/sid
    SCRATCH="$BASE/root.new"
    rm -rf --one-file-system "$SCRATCH"
    log "$RELEASE: building the root with debootstrap (once, a few minutes; log $log)"
    # shellcheck disable=SC2086
    debootstrap --variant=minbase --include=git,ca-certificates --cache-dir="$DEBS" \
        "$RELEASE" "$SCRATCH" "$MIRROR" $script >"$log" 2>&1 &
    pid=$!
    # Its milestones as progress; the package-by-package lines stay in the log.
    local milestones='Retrieving Release|Validating Packages|Checking component|Installing core'
    milestones+='|Unpacking the base|Configuring the base|Base system installed'
    tail -n +1 -f --pid="$pid" "$log" | grep --line-buffered -E "^I: ($milestones)" |
        sed -u "s/^I: /[fresh-machine] $RELEASE: /" >&2 || true
    if ! wait "$pid"; then
        tail -n 20 "$log" >&2
        die "$RELEASE: debootstrap failed (log $log)"
    fi
    cat >"$SCRATCH/etc/apt/sources.list" <<SOURCES
deb $MIRROR $RELEASE main
deb $MIRROR $RELEASE-updates main
SOURCES
    # The security suite only where this machine names a mirror for it.
    [ -z "$SECURITY_MIRROR" ] ||
        echo "deb $SECURITY_MIRROR $RELEASE-security main" >>"$SCRATCH/etc/apt/sources.list"
    # Package lists come from the mirror on every run, as on a machine just installed.
    find "$SCRATCH/var/lib/apt/lists" -maxdepth 1 -type f ! -name lock -delete
    find "$SCRATCH/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -delete
    [ -z "$(mounts_in_scratch)" ] || die "$RELEASE: debootstrap left mounts in $SCRATCH"
    rm -rf --one-file-system "$ROOT"
    mv "$SCRATCH" "$ROOT"
    SCRATCH=""
    log "$RELEASE: root ready, Debian $(cat "$ROOT/etc/debian_version"), $(du -sh "$ROOT" | cut -f1)"
}

# Runs hold the lock shared while they copy the root; building it takes the lock alone.
exec 9>"$BASE/lock"
if [ $rebuild -eq 1 ] || [ ! -d "$ROOT" ]; then
    flock -x 9
    if [ $rebuild -eq 1 ] || [ ! -d "$ROOT" ]; then
        build_root
    fi
fi
flock -s 9

SCRATCH=$(mktemp -d "$BASE/runs/run.XXXXXX")
COPY=$SCRATCH
status=0
log "$RELEASE: copying the root to $COPY"
cp -a "$ROOT/." "$COPY/"
flock -u 9
# Hard links: the copy and the cache share a file system, and apt never rewrites a package.
find "$DEBS" -maxdepth 1 -name '*.deb' -exec cp -l -t "$COPY/var/cache/apt/archives" {} +
# Removed first: copying onto a symbolic link would write wherever it points.
rm -f "$COPY/etc/resolv.conf"
cp -L /etc/resolv.conf "$COPY/etc/resolv.conf" 2>/dev/null || true

mount -t proc proc "$COPY/proc"
mount -t sysfs sysfs "$COPY/sys"
mount --bind /dev "$COPY/dev"
mount --bind /dev/pts "$COPY/dev/pts"
# A tmpfs of its own: a plain bind of /dev would let the command write under the host's /dev/shm.
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$COPY/dev/shm"

log "$RELEASE: cloning commit ${COMMIT:0:12} into /root/contourmap3d"
git -c safe.directory='*' clone --quiet --no-hardlinks --no-checkout \
    "$(repo_git rev-parse --path-format=absolute --git-common-dir)" "$COPY/root/contourmap3d"
git -C "$COPY/root/contourmap3d" -c advice.detachedHead=false checkout --quiet "$COMMIT"

log "$RELEASE: running '${COMMAND[*]}' as root, no display"
# A clean environment as a login would give: no DISPLAY, nothing of this machine's build.
chroot "$COPY" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/sh -c 'cd /root/contourmap3d && exec "$@"' fresh-machine "${COMMAND[@]}" &
child=$!
# Waiting in the background lets a signal reach the traps above at once.
wait "$child" || status=$?
if [ $status -ne 0 ]; then
    log "$RELEASE: '${COMMAND[*]}' failed with status $status (commit ${COMMIT:0:12})"
fi
exit $status
