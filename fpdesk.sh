#!/usr/bin/env bash
# fpdesk's two commands.
#
#   ./fpdesk.sh run    install what is missing, build, start the window on the simulated module
#   ./fpdesk.sh test   install what is missing, build, run every test headless: a plain build,
#                      an AddressSanitizer + UndefinedBehaviorSanitizer build and a
#                      ThreadSanitizer build of the threaded tests
#
# Safe to run again: installs only what is missing and rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools libpng-dev
          fonts-wqy-microhei xvfb xauth)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "fpdesk: installing ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"
    fi
}

# build <directory> [cmake options...]
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DFPDESK_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -- -j"$(nproc)"
}

# check <directory>: every test of that build, headless, through CTest
check() {
    (cd "$1" && ctest --output-on-failure --timeout 900)
}

case "${1:-}" in
run)
    install_missing
    build build
    exec build/bin/fpdesk
    ;;
test)
    install_missing
    build build
    check build
    build build-asan -DFPDESK_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
    check build-asan
    build build-tsan -DFPDESK_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo
    check build-tsan
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
