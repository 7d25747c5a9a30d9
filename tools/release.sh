#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The release packages, made by CPack, with their checksums in SHA256SUMS, in the output directory
# (default build-release/), where earlier packages are removed first; then checked: what each
# holds, the licence, stripped and static programs, the manual pages, the postinst, lintian's
# approval (where installed), the checksums, and a game of each Debian package's program.
# Builds the Linux programs (32-bit ones too: g++-multilib), the Windows programs (clang, lld and
# the MinGW-w64 cross compilers g++-mingw-w64-x86-64-win32 and g++-mingw-w64-i686-win32) and the
# ARM programs (clang, lld, libstdc++-12-dev-arm64-cross and libstdc++-12-dev-armhf-cross),
# without the tests; python3 makes the Windows README.txt and the manual pages, qemu-user runs
# the ARM programs for the checks.
# Trees that are already configured are only brought up to date, so that the test suite's
# trees can be packaged as they were tested:
#   tools/release.sh [OUTPUT_DIR [LINUX WIN64 WIN32 ARM64 ARMV7]]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
output="$(realpath -m "${1:-$root/build-release}")"
linux="$(realpath -m "${2:-$output/linux}")"
win64="$(realpath -m "${3:-$output/win64}")"
win32="$(realpath -m "${4:-$output/win32}")"
arm64="$(realpath -m "${5:-$output/arm64}")"
armv7="$(realpath -m "${6:-$output/armv7}")"
fail() {
    echo "release: $*" >&2
    exit 1
}

build() {
    local dir="$1"
    shift
    if [[ -f "$dir/CMakeCache.txt" ]]; then
        cmake -S "$root" -B "$dir" > /dev/null
    else
        cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DZEKORA_TESTS=OFF "$@" > /dev/null
    fi
    cmake --build "$dir" -j "$(nproc)" --target all zekora-package-files
}
# The cross-built trees share the bench profile of one instrumented tool of this machine.
cross() {
    build "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2.cmake" \
        -DZEKORA_HOST_PROFILE_DIR="$output/host-profile"
}
build "$linux"
cross "$win32" mingw-w64-i686
cross "$win64" mingw-w64-x86_64
cross "$arm64" linux-arm64
cross "$armv7" linux-armv7
# The 64-bit Windows tree's archive takes the 32-bit programs along.
cmake -S "$root" -B "$win64" -DZEKORA_PACKAGE_WITH="$win32" > /dev/null
for program in zekora32-popcnt zekora32; do
    [[ -x "$linux/bin/$program" ]] ||
        fail "$linux/bin/$program was not built (install g++-multilib)"
done

mkdir -p "$output"
rm -f "$output"/zekora[-_]*.tar.gz "$output"/zekora[-_]*.zip "$output"/zekora[-_]*.deb \
    "$output/SHA256SUMS"
for dir in "$linux" "$win64" "$arm64" "$armv7"; do
    (cd "$dir" && cpack -B "$output" > /dev/null)
done
rm -rf "$output/_CPack_Packages"
cd "$output"
sha256sum zekora[-_]*.tar.gz zekora[-_]*.zip zekora[-_]*.deb > SHA256SUMS

# The checks, with the names that follow from the version CMake set.
read -r version debian_version < "$linux/release-version"
tgz_x86="zekora-$version-linux-x86_64" tgz_arm64="zekora-$version-linux-arm64"
tgz_armv7="zekora-$version-linux-armv7" windows="zekora-$version-windows"
# Standard input lists exactly the names given, in any order.
holds() { diff <(sort) <(printf '%s\n' "$@" | sort); }
tar -tzf "$tgz_x86.tar.gz" |
    holds "$tgz_x86"/{LICENSE,README.md,zekora64-popcnt,zekora64,zekora32-popcnt,zekora32}
tar -tzf "$tgz_arm64.tar.gz" | holds "$tgz_arm64"/{LICENSE,README.md,zekora-arm64}
tar -tzf "$tgz_armv7.tar.gz" | holds "$tgz_armv7"/{LICENSE,README.md,zekora-armv7}
unzip -Z1 "$windows.zip" |
    holds "$windows"/{LICENSE.txt,README.txt,zekora64-popcnt.exe,zekora64.exe,zekora32-popcnt.exe,zekora32.exe}
awk '{print $2}' SHA256SUMS | holds "$tgz_x86.tar.gz" "$tgz_arm64.tar.gz" "$tgz_armv7.tar.gz" \
    "$windows.zip" zekora_"$debian_version"_{amd64,arm64}.deb
sha256sum --quiet -c SHA256SUMS

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
for archive in "$tgz_x86" "$tgz_arm64" "$tgz_armv7"; do
    tar -xzf "$archive.tar.gz" -C "$unpacked"
    cmp "$root/LICENSE" "$unpacked/$archive/LICENSE"
    cmp "$root/README.md" "$unpacked/$archive/README.md"
done
unzip -q "$windows.zip" -d "$unpacked"
cmp "$root/LICENSE" <(tr -d '\r' < "$unpacked/$windows/LICENSE.txt")
# The Windows README: Windows line ends throughout, and no build instructions.
! grep -v $'\r$' "$unpacked/$windows/README.txt" || fail "README.txt: lines above without CRLF"
! grep -E 'cmake|apt|\$HOME|```' "$unpacked/$windows/README.txt" ||
    fail "README.txt: lines above not for Windows users"
# lld leaves a Windows program without symbols but sets no "stripped" flag, which file reads.
for program in "$unpacked/$windows"/*.exe; do
    [[ "$(x86_64-w64-mingw32-objdump -t "$program")" == *$'\nno symbols'* &&
        "$(x86_64-w64-mingw32-objdump -h "$program")" != *' .debug'* ]] ||
        fail "$program: not stripped"
done
file "$unpacked/$tgz_arm64/zekora-arm64" | grep -q 'ARM aarch64.*static-pie linked' ||
    fail "zekora-arm64 is not a static PIE"
file "$unpacked/$tgz_armv7/zekora-armv7" | grep -q 'ARM, EABI5.*statically linked' ||
    fail "zekora-armv7 is not static"

# The Debian packages: the 64-bit programs, their manual pages and XBoard's plugin file, with a
# postinst that dates that file anew.
files() { dpkg-deb -c "$1" | awk '!/^d/ {print $6}'; }
doc=./usr/share/doc/zekora man=./usr/share/man/man6 plugins=./usr/share/games/plugins/uci
files "zekora_${debian_version}_amd64.deb" |
    holds ./usr/games/zekora64{-popcnt,} $man/zekora64{-popcnt,}.6.gz $plugins/zekora64-popcnt.eng \
        $doc/{README.md.gz,changelog.gz,copyright} ./usr/share/lintian/overrides/zekora
files "zekora_${debian_version}_arm64.deb" |
    holds ./usr/games/zekora-arm64 $man/zekora-arm64.6.gz $plugins/zekora-arm64.eng \
        $doc/{README.md.gz,changelog.gz,copyright} ./usr/share/lintian/overrides/zekora
for package in amd64:zekora64-popcnt arm64:zekora-arm64; do
    arch="${package%%:*}" program="${package#*:}"
    deb="zekora_${debian_version}_$arch.deb" files="$unpacked/$arch"
    [[ "$(dpkg-deb -f "$deb" Package Version Architecture)" == \
        "Package: zekora"$'\n'"Version: $debian_version"$'\n'"Architecture: $arch" ]] ||
        fail "$deb: wrong control fields"
    if command -v lintian > /dev/null; then
        lintian --fail-on error,warning "$deb"
    else
        echo "release: lintian skipped, not installed (install lintian)"
    fi
    dpkg-deb -x "$deb" "$files"
    grep -q '^License: GPL-3+$' "$files/usr/share/doc/zekora/copyright"
    [[ "$(cat "$files/usr/share/games/plugins/uci/$program.eng")" == \
        "plugin spec 0.0"$'\n'"$program"$'\n'chess ]] || fail "$deb: wrong plugin file"
    dpkg-deb -I "$deb" postinst | grep -q "touch /usr/share/games/plugins/uci/$program.eng" ||
        fail "$deb: no postinst that dates the plugin file"
    ! file "$files"/usr/games/* | grep -v ', stripped$' ||
        fail "the programs above are not stripped"
    # The manual pages render without a warning; zekora64's is zekora64-popcnt's.
    for page in "$files"/usr/share/man/man6/*; do
        page="$(basename "$page" .6.gz)"
        warnings="$(MANROFFSEQ='' MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings \
            -M "$files/usr/share/man" 6 "$page" 2>&1 > "$unpacked/$page.txt")"
        [[ -z "$warnings" ]] || fail "$page.6: $warnings"
        grep -q 'Traffic Depth' "$unpacked/$page.txt"
        cmp "$unpacked/$program.txt" "$unpacked/$page.txt"
    done
    # End of input, not "quit", which would end the search at once without an answer.
    emulator=()
    [[ "$arch" == arm64 ]] && emulator=(qemu-aarch64)
    if [[ -z "${emulator[*]}" ]] || command -v "${emulator[0]}" > /dev/null; then
        printf 'uci\nposition startpos\ngo depth 4\n' |
            "${emulator[@]}" "$files/usr/games/$program" | grep -q '^bestmove '
    fi
done
echo "release: packages in $output, checked:"
ls -l "$output"/zekora* "$output/SHA256SUMS"
