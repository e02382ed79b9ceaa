#!/usr/bin/env bash
# Set-up, build, run and test on Debian 12. Usage: scripts/dev.sh run|test|bench
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
          libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core fonts-dejavu-extra
          xvfb x11-utils xdotool trayer imagemagick python3-dbusmock python3-dbus
          faketime dbus dbus-x11 python3-xlib)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() { # build-dir [cmake options...]
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
}

case "${1:-}" in
run)
    install_missing
    build build
    exec ./build/brantle-vantrel
    ;;
test)
    install_missing
    build build
    (cd build && ctest --output-on-failure -j2 --timeout 300)
    ;;
bench)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    for b in build/bench/bench_*; do [ -x "$b" ] && "$b"; done
    ;;
*)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
