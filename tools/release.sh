#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The release packages, made by CPack: zekora-1.0-linux.tar.gz, zekora_1.0_amd64.deb and
# zekora-1.0-windows.zip, in the output directory (default build-release/).
# Builds the Linux programs (32-bit ones too: g++-multilib) and the Windows programs (clang, lld
# and the MinGW-w64 cross compilers g++-mingw-w64-x86-64-win32 and g++-mingw-w64-i686-win32),
# without the tests.
# Trees that are already configured are only brought up to date, so that the test suite's
# trees can be packaged as they were tested:
#   tools/release.sh [OUTPUT_DIR [LINUX_TREE WIN64_TREE WIN32_TREE]]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
output="$(realpath -m "${1:-$root/build-release}")"
linux="$(realpath -m "${2:-$output/linux}")"
win64="$(realpath -m "${3:-$output/win64}")"
win32="$(realpath -m "${4:-$output/win32}")"
jobs="$(nproc)"

build() {
    local dir="$1"
    shift
    if [[ -f "$dir/CMakeCache.txt" ]]; then
        cmake -S "$root" -B "$dir" > /dev/null
    else
        cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DZEKORA_TESTS=OFF "$@" > /dev/null
    fi
    cmake --build "$dir" -j "$jobs"
}

build "$linux"
build "$win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake"
build "$win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
# The 64-bit Windows tree's archive takes the 32-bit programs along.
cmake -S "$root" -B "$win64" -DZEKORA_PACKAGE_WITH="$win32" > /dev/null

for program in zekora64-popcnt zekora64 zekora32-popcnt zekora32; do
    [[ -x "$linux/bin/$program" ]] || {
        echo "release: $linux/bin/$program was not built (install g++-multilib)" >&2
        exit 1
    }
done

mkdir -p "$output"
(cd "$linux" && cpack -B "$output")
(cd "$win64" && cpack -B "$output")
rm -rf "$output/_CPack_Packages"
echo "release: packages in $output:"
ls -l "$output"/zekora*
