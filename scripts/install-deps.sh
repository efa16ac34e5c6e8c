#!/usr/bin/env bash
# Installs the Debian packages needed to build and test CV Keys.
# Idempotent: only packages that are not yet installed are fetched, and the
# package lists are refreshed only when something is missing.
#   --dry-run   report what would be installed, change nothing
#   --fuzz      also clang 14 and its sanitizer runtimes, for scripts/fuzz.sh
#   --windows   also mingw-w64, Wine and GoogleTest's sources, for make windows
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

dry_run=0
fuzz=0
windows=0
for arg in "$@"; do
    case "$arg" in
        --dry-run) dry_run=1 ;;
        --fuzz) fuzz=1 ;;
        --windows) windows=1 ;;
        -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
        *) echo "install-deps: unknown option: $arg" >&2; exit 2 ;;
    esac
done

packages=(
    # toolchain
    g++ make cmake ninja-build pkg-config
    # Qt 6 widgets and SVG (the device pictures); qt6-base-dev already
    # depends on moc/rcc (qt6-base-dev-tools) and on the OpenGL headers that
    # Qt6Gui's CMake package looks for, but they are named so that a partial
    # install is repaired too.
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libglx-dev libopengl-dev libvulkan-dev
    # the window asks for Arial; Liberation Sans has its metrics, so the
    # captions fit the rectangles beside the buttons
    fonts-liberation2
    # device access
    libhidapi-dev libusb-1.0-0-dev libudev-dev
    # core libraries
    libfmt-dev libxkbcommon-dev xkb-data
    # the desktop's mouse settings on GNOME (GSettings, part of GIO)
    libglib2.0-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # the layer check (tests/check_layers.py)
    python3
    # the format check (scripts/check-format.sh) is pinned to this version
    clang-format-14
    # the release: the package's library dependencies, its lint, and the
    # desktop entry's and metainfo's validators
    dpkg-dev lintian desktop-file-utils appstream
)
if [ "$fuzz" -eq 1 ]; then
    # the fuzz targets: clang with libFuzzer and the sanitizer runtimes
    # (libclang-rt-14-dev), llvm-symbolizer for readable reports (llvm-14)
    packages+=(clang-14 libclang-rt-14-dev llvm-14)
fi
if [ "$windows" -eq 1 ]; then
    # the Windows cross build: mingw-w64 with POSIX threads, Wine to run its
    # tests, and GoogleTest as sources (built by the cross compiler)
    packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
fi

is_installed() {
    # A multi-arch package may print one line per architecture.
    dpkg-query -W -f='${db:Status-Status}\n' "$1" 2>/dev/null | grep -qx installed
}

missing=()
for pkg in "${packages[@]}"; do
    is_installed "$pkg" || missing+=("$pkg")
done

if [ "${#missing[@]}" -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present, nothing to install"
    exit 0
fi

if [ "$dry_run" -eq 1 ]; then
    echo "install-deps: would install ${#missing[@]} of ${#packages[@]} packages: ${missing[*]}"
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        sudo_cmd=(sudo -n env DEBIAN_FRONTEND=noninteractive)
    else
        echo "install-deps: missing ${missing[*]}; run as root or install sudo" >&2
        exit 1
    fi
fi

"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

# Confirm: apt-get can succeed while leaving a package half-configured.
still_missing=()
for pkg in "${missing[@]}"; do
    is_installed "$pkg" || still_missing+=("$pkg")
done
if [ "${#still_missing[@]}" -ne 0 ]; then
    echo "install-deps: failed to install: ${still_missing[*]}" >&2
    exit 1
fi
echo "install-deps: installed ${#missing[@]} of ${#packages[@]} packages: ${missing[*]}"
