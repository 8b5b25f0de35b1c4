#!/usr/bin/env bash
# Checks the Debian packages as a user meets them, on this machine:
#   1. builds them (./fpdesk.sh package) and runs lintian: no error, no warning;
#   2. installs both with apt-get and checks their files against their md5sums;
#   3. starts /usr/bin/fpdesk under xvfb-run: its window shows, with its icon
#      read from the installed pictures, and it loaded the simulated module
#      from /usr/lib/fpdesk/lib; --version and --help answer without a display;
#   4. validates the menu entry, the AppStream metadata and the manual pages;
#   5. puts a stand-in for a vendor library in place through a local
#      diversion, as README.md tells users to, reinstalls both packages and
#      checks that the file survived; then takes the diversion back;
#   6. purges both packages and checks that nothing of them is left.
#
# Run as root or as a user with sudo: it installs what it needs through
# apt-get, and installs and purges fpdesk and fpdesk-modulesim on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."

TOOLS=(lintian desktop-file-utils appstream xvfb xauth x11-utils man-db)
PACKAGES=(fpdesk fpdesk-modulesim)
LIBRARY=/usr/lib/fpdesk/lib/libvyr_uos.so
APP_ID=io.github.fpdesk.fpdesk

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

apt_get() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -y -qq "$@"
}

step() {
    echo "check-packages: $*"
}

fail() {
    echo "check-packages: FAILED: $*" >&2
    exit 1
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Any state of a package but "never heard of" or "purged".
known() {
    local status
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null) || return 1
    [ -n "$status" ] && [ "${status:0:2}" != "un" ] && [ "${status:0:2}" != "pn" ]
}

# --- inside the virtual display (the script runs itself under xvfb-run) ----

# window_check <home>: starts the installed program as a user would and
# checks what it shows and what it loaded.
window_check() {
    local home=$1
    env HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/.local/share" \
        /usr/bin/fpdesk >"$home/fpdesk.log" 2>&1 &
    local pid=$!
    local window=""
    for _ in $(seq 150); do
        kill -0 "$pid" 2>/dev/null || fail "fpdesk exited: $(cat "$home/fpdesk.log")"
        window=$(xwininfo -root -tree | awk '/\("fpdesk" "fpdesk"\)/ && / 480x320/ {print $1; exit}')
        # Whole outputs into variables: grep -q would end a pipe early, and
        # the writer's broken pipe would fail the pipeline.
        if [ -n "$window" ] && [[ "$(xwininfo -id "$window")" == *"Map State: IsViewable"* ]]; then
            break
        fi
        window=""
        sleep 0.2
    done
    [ -n "$window" ] || fail "no 480x320 fpdesk window within 30 s: $(xwininfo -root -tree)"
    step "window $window of 480x320 shows (WM_CLASS fpdesk, as the menu entry expects)"
    [[ "$(xprop -id "$window" _NET_WM_ICON)" == *"Icon (128 x 128)"* ]] \
        || fail "the window has no 128x128 icon: the pictures under /usr/lib/fpdesk/image were not found"
    step "its icon came from /usr/lib/fpdesk/image/logo.png"
    grep -q " $LIBRARY\$" "/proc/$pid/maps" || fail "fpdesk did not load $LIBRARY"
    step "it loaded $LIBRARY"
    if command -v vyrsim >/dev/null; then
        local reply
        reply=$(env HOME="$home" XDG_RUNTIME_DIR="$home/run" vyrsim --pid "$pid" status) \
            || fail "vyrsim status: $reply"
        [[ "$reply" == ok* ]] || fail "vyrsim status answered: $reply"
        step "vyrsim reaches the simulated module in it: $reply"
    fi
    kill "$pid"
    wait "$pid" || true
}

if [ "${1:-}" = --window-check ]; then
    window_check "$2"
    exit 0
fi

# --- 1. build and lint ------------------------------------------------------

started=$SECONDS
missing=()
for package in "${TOOLS[@]}"; do
    installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    step "installing ${missing[*]}"
    apt_get update
    apt_get install --no-install-recommends "${missing[@]}" >/dev/null
fi

./fpdesk.sh package >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
arch=$(dpkg --print-architecture)
debs=()
for package in "${PACKAGES[@]}"; do
    debs+=("$PWD/build-package/${package}_${version}_${arch}.deb")
done
step "built ${debs[*]}"

# Informational tags are shown too; README.md says why those few stay.
# Lintian's own complaint about running as root is no finding about the packages.
status=0
lintian --display-info --fail-on error,warning "${debs[@]}" >"$PWD/build-package/lintian.txt" 2>&1 \
    || status=$?
grep -v "running with root privileges is not recommended" build-package/lintian.txt || true
[ "$status" -eq 0 ] || fail "lintian reports an error or a warning (status $status)"
step "lintian: no error, no warning"

# --- 2. install ------------------------------------------------------------

if dpkg-divert --list "$LIBRARY" | grep -q .; then
    fail "$LIBRARY is diverted on this machine already; this check would disturb it"
fi
for package in "${PACKAGES[@]}"; do
    if known "$package"; then
        step "purging $package left from before"
        apt_get purge "$package" >/dev/null
    fi
done

# What exists before, so that after the purge only the packages' own paths
# must be gone, not directories that other packages share.
listing=$(mktemp)
home=$(mktemp -d)
diverted=""
# On any way out: take back the diversion, and the packages a failed check
# left installed.
cleanup() {
    if [ -n "$diverted" ]; then
        as_root rm -f "$LIBRARY"
        as_root dpkg-divert --local --rename --remove "$LIBRARY" >/dev/null
    fi
    for package in "${PACKAGES[@]}"; do
        if known "$package"; then
            apt_get purge "$package" >/dev/null || true
        fi
    done
    rm -rf "$listing" "$home"
}
trap cleanup EXIT
for deb in "${debs[@]}"; do
    dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\.||' -e 's|/$||' | grep .
done | sort -u | while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then echo "existed $path"; else echo "new $path"; fi
done >"$listing"

apt_get install "${debs[@]}" >/dev/null
for package in "${PACKAGES[@]}"; do
    installed "$package" || fail "$package is not installed"
done
as_root dpkg --verify "${PACKAGES[@]}" || fail "installed files differ from the packages"
step "installed ${PACKAGES[*]}; dpkg --verify finds every file as packaged"

# --- 3. run ----------------------------------------------------------------

[ "$(readlink -f /usr/bin/fpdesk)" = /usr/lib/fpdesk/fpdesk ] \
    || fail "/usr/bin/fpdesk does not lead to /usr/lib/fpdesk/fpdesk"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY fpdesk --version)" = "fpdesk $version" ] \
    || fail "fpdesk --version does not say 'fpdesk $version'"
[[ "$(env -u DISPLAY -u WAYLAND_DISPLAY fpdesk --help)" == *--version* ]] \
    || fail "fpdesk --help does not list --version"
step "fpdesk --version and --help answer without a display"
if command -v vyrsim >/dev/null; then
    if [ -z "$(env -u DISPLAY vyrsim --version)" ] || [ -z "$(env -u DISPLAY vyrsim --help)" ]; then
        fail "vyrsim --version or --help says nothing"
    fi
    step "vyrsim --version and --help answer"
fi

mkdir -m 700 "$home/run"
xvfb-run -a -s "-screen 0 800x600x24" "$BASH" "$0" --window-check "$home"

# --- 4. validate -------------------------------------------------------------

desktop-file-validate "/usr/share/applications/$APP_ID.desktop" \
    || fail "desktop-file-validate"
appstreamcli validate --no-net "/usr/share/metainfo/$APP_ID.metainfo.xml" >/dev/null \
    || fail "appstreamcli validate: $(appstreamcli validate --no-net --explain \
        "/usr/share/metainfo/$APP_ID.metainfo.xml")"
step "desktop-file-validate and appstreamcli validate pass"
for page in fpdesk $(command -v vyrsim >/dev/null && echo vyrsim); do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    step "man $page formats without a warning"
done

# --- 5. a vendor library put in place survives a reinstall -----------------

vendor="$home/libvyr_uos.so"
cp "$LIBRARY" "$vendor"
echo "another vendor's build" >>"$vendor"
as_root dpkg-divert --local --rename --divert "$LIBRARY.modulesim" --add "$LIBRARY" >/dev/null
diverted=yes
as_root install -m 644 "$vendor" "$LIBRARY"
apt_get install --reinstall "${debs[@]}" >/dev/null
cmp -s "$vendor" "$LIBRARY" || fail "reinstalling the packages wrote over the diverted library"
[ -f "$LIBRARY.modulesim" ] || fail "the simulated module did not go to $LIBRARY.modulesim"
as_root rm "$LIBRARY"
as_root dpkg-divert --local --rename --remove "$LIBRARY" >/dev/null
diverted=""
as_root dpkg --verify fpdesk-modulesim || fail "the simulated module did not come back"
step "a diverted library survives a reinstall; removing the diversion brings ours back"

# --- 6. purge --------------------------------------------------------------

apt_get purge "${PACKAGES[@]}" >/dev/null
for package in "${PACKAGES[@]}"; do
    known "$package" && fail "dpkg still knows $package after the purge"
done
left=$(awk '$1 == "new" {print $2}' "$listing" | while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done)
[ -z "$left" ] || fail "left after the purge: $left"
# Anything of ours elsewhere, whoever would have put it there.
left=$(find /usr /etc -path /usr/local -prune -o \( -name fpdesk -o -name fpdesk-modulesim \
    -o -name 'fpdesk.1*' -o -name vyrsim -o -name 'vyrsim.1*' -o -name 'libvyr_uos.so*' \
    -o -name "$APP_ID.*" \) -print; ls /var/lib/dpkg/info/fpdesk.* \
    /var/lib/dpkg/info/fpdesk-modulesim.* 2>/dev/null || true)
[ -z "$left" ] || fail "left after the purge: $left"
[ -z "$(dpkg-divert --list '*fpdesk*')" ] || fail "a diversion is left"
step "purged: nothing of the packages is left"
step "all checks passed in $((SECONDS - started)) s"
