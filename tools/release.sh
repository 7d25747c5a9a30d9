#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The release packages, made by CPack: zekora-1.0-beta-linux.tar.gz, zekora_1.0~beta_amd64.deb
# and zekora-1.0-beta-windows.zip, with their checksums in SHA256SUMS, in the output directory
# (default build-release/), where earlier packages are removed first.
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
    cmake --build "$dir" -j "$jobs" --target all zekora-package-files
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
rm -f "$output"/zekora[-_]*.tar.gz "$output"/zekora[-_]*.zip "$output"/zekora[-_]*.deb \
    "$output/SHA256SUMS"
(cd "$linux" && cpack -B "$output")
(cd "$win64" && cpack -B "$output")
rm -rf "$output/_CPack_Packages"
(cd "$output" && sha256sum zekora[-_]*.tar.gz zekora[-_]*.zip zekora[-_]*.deb > SHA256SUMS)
echo "release: packages in $output:"
ls -l "$output"/zekora* "$output/SHA256SUMS"
