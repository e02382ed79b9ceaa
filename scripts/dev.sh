#!/usr/bin/env bash
# Set-up, build, run and test on Debian 12.
# Usage: scripts/dev.sh run|test|lint|format|bench|package
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
          libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core fonts-dejavu-extra
          xvfb x11-utils xdotool trayer imagemagick python3-dbusmock python3-dbus
          faketime dbus dbus-x11 python3-xlib strace
          desktop-file-utils appstream lintian dpkg-dev file
          xfce4-panel xfconf weston qt6-wayland python3-gi at-spi2-core python3-pyatspi
          cage xwayland iproute2 clang-format-14 qt6-l10n-tools qt6-tools-dev
          qt6-translations-l10n)

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
    # ccache, where installed, lets several trees share their compiles.
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir"
}

# The Release tree of the benchmarks and the package, with Debian's hardening
# flags; the build type alone chooses optimisation and debug information.
build_release() {
    local cxx ld
    cxx=" $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) "
    cxx+="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) "
    cxx=$(sed -e 's/ -g / /g' -e 's/ -O2 / /g' <<<"$cxx")
    ld=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
    build build-release -DCMAKE_BUILD_TYPE=Release -DBV_BUILD_TESTS=OFF \
        "-DCMAKE_CXX_FLAGS=$cxx" "-DCMAKE_EXE_LINKER_FLAGS=$ld"
}

# Leak checking is off: Qt, fontconfig and the X and D-Bus libraries keep
# caches until exit that LeakSanitizer would report as leaks. libfaketime in
# LD_PRELOAD (end-to-end tests) comes before the ASan runtime, which is fine.
sanitizer_env() {
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=1:verify_asan_link_order=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$@"
}

# The project's own C and C++ files: those git knows of, less what it ignores.
sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files --cached --others --exclude-standard -z -- '*.c' '*.cpp' '*.h' |
            while IFS= read -r -d '' f; do if [ -f "$f" ]; then printf '%s\0' "$f"; fi; done
    else
        find . -path './build*' -prune -o -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) \
            -print0
    fi
}

# The layout of .clang-format, in check mode: seconds for the whole tree.
# To fix: scripts/dev.sh format
format_check() {
    sources | xargs -0 clang-format-14 --dry-run --Werror
}

case "${1:-}" in
run)
    install_missing
    build build
    exec ./build/brantle-vantrel
    ;;
test)
    install_missing
    format_check
    # A compiler warning in the project's own code fails the build.
    build build -DBV_WERROR=ON
    (cd build && ctest --output-on-failure -j2 --timeout 300)
    # The same suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
    build build-asan -DBV_SANITIZE=ON -DBV_BUILD_BENCH=OFF -DBV_WERROR=ON
    (cd build-asan && sanitizer_env ctest --output-on-failure -j2 --timeout 600)
    ;;
lint)
    # clang-format, then clang-tidy (.clang-tidy) over the project's sources as
    # build/compile_commands.json compiles them: some minutes. An argument, a
    # regular expression, narrows clang-tidy's files: lint platform/networkmanager
    PACKAGES+=(clang-tidy-14)
    install_missing
    format_check
    build build
    log=build/clang-tidy.log
    status=0
    run-clang-tidy-14 -p build -j "$(nproc)" -quiet \
        "^$(pwd)/(accounting|bench|connection|platform|tests|tools|ui)/.*${2:-}" >"$log" 2>&1 ||
        status=$?
    findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E ': (warning|error): ' | sort -u || true)
    if [ -n "$findings" ]; then
        printf '%s\n' "$findings"
        echo "lint: $(grep -c . <<<"$findings") clang-tidy findings (all of its output: $log)" >&2
        exit 1
    elif [ "$status" -ne 0 ]; then
        tail -n 20 "$log"
        echo "lint: clang-tidy failed (all of its output: $log)" >&2
        exit 1
    fi
    echo "lint: clean"
    ;;
format)
    # Puts every file into the layout that lint and test check.
    install_missing
    sources | xargs -0 clang-format-14 -i
    ;;
bench)
    # A Release tree of its own, so the test tree keeps its build type;
    # nm-tray is the footprint's point of comparison (on weston too: qtwayland5).
    PACKAGES+=(nm-tray qtwayland5 linux-perf)
    install_missing
    build_release
    for b in build-release/bench/bench_*; do if [ -f "$b" ] && [ -x "$b" ]; then "$b"; fi; done
    bench/footprint.sh build-release/brantle-vantrel
    ;;
package)
    # build-release/brantle-vantrel_<version>_amd64.deb
    install_missing
    build_release
    (cd build-release && cpack -G DEB)
    ;;
*)
    echo "usage: $0 run|test|lint|format|bench|package" >&2
    exit 2
    ;;
esac
