#!/usr/bin/env bash
# fpdesk's commands.
#
#   ./fpdesk.sh run             install what is missing, build, start the window on the
#                               simulated module
#   ./fpdesk.sh test            install what is missing, build, run every test headless: a
#                               plain build, an AddressSanitizer + UndefinedBehaviorSanitizer
#                               build, a ThreadSanitizer build of the threaded tests and a
#                               plain build against Qt 6, then every fuzz target for 15 s
#   ./fpdesk.sh fuzz [SECONDS]  build the libFuzzer targets (tests/fuzz/) and run each for
#                               SECONDS (default 60) over its corpus (docs/fuzzing.md)
#   ./fpdesk.sh package         build the Debian packages fpdesk and fpdesk-modulesim in
#                               build-package/
#   ./fpdesk.sh check-packages  build them and check them as a user meets them: lintian,
#                               install, start, validate, purge (packaging/check-packages.sh)
#
# Safe to run again: installs only what is missing and rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")"

# qttranslations5-l10n: Qt's own buttons and dialogs in Chinese, like the window.
PACKAGES=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools libpng-dev zlib1g-dev
          qttranslations5-l10n fonts-wqy-microhei xvfb xauth)
# The Qt 6 build of the tests. Qt 6's CMake files want OpenGL's headers for
# Gui and its moc from the tools package; named here, not left to qt6-base-dev.
# The program asks the X server for its DPI itself when built with Qt 6.
# libxkbcommon-dev: Qt 6's Gui package looks for XKB and says so when it is missing.
QT6_PACKAGES=(qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev libxkbcommon-dev
              qt6-translations-l10n)
# The fuzz targets: Debian's clang 14 with its sanitizers' runtime and libFuzzer.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev libfuzzer-14-dev)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# install_missing [extra package...]: the packages above and those given
install_missing() {
    local missing=()
    for package in "${PACKAGES[@]}" "$@"; do
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

# fuzz <seconds>: build-fuzz/ with every fuzz target, each run that long over its corpus;
# fails on any crash, leak or timeout, keeping the input in build-fuzz/fuzz-failures/
fuzz() {
    install_missing "${FUZZ_PACKAGES[@]}"
    tests/fuzz/run.sh build-fuzz "$1"
}

# package: Debian's flags with all hardening and no build type of our own,
# as a Debian package build would do it; no tests. CPack strips the binaries.
package() {
    install_missing dpkg-dev file
    local cxxflags ldflags
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
    ldflags=$(dpkg-buildflags --get LDFLAGS)
    cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$cxxflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
    cmake --build build-package -- -j"$(nproc)"
    (cd build-package && cpack >/dev/null)
    local version
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
    ls build-package/*_"$version"_*.deb
}

case "${1:-}" in
run)
    install_missing
    build build
    exec build/bin/fpdesk
    ;;
test)
    install_missing "${QT6_PACKAGES[@]}"
    build build
    check build
    # The benchmarks build once, above; the other builds only test.
    build build-asan -DFPDESK_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug \
        -DFPDESK_BENCHMARKS=OFF
    check build-asan
    build build-tsan -DFPDESK_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DFPDESK_BENCHMARKS=OFF
    check build-tsan
    build build-qt6 -DFPDESK_QT=6 -DFPDESK_BENCHMARKS=OFF
    check build-qt6
    fuzz 15
    ;;
fuzz)
    fuzz "${2:-60}"
    ;;
package)
    package
    ;;
check-packages)
    exec packaging/check-packages.sh
    ;;
*)
    echo "usage: $0 run|test|fuzz [SECONDS]|package|check-packages" >&2
    exit 2
    ;;
esac
