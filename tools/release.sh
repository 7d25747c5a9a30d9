#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The release packages, made by CPack, with their checksums in SHA256SUMS, in the output directory
# (default build-release/), where earlier packages are removed first; then checked: what each
# holds, the licence, stripped programs, the manual pages, lintian's approval (where installed),
# the checksums, and a game of the Debian package's program.
# Builds the Linux programs (32-bit ones too: g++-multilib) and the Windows programs (clang, lld
# and the MinGW-w64 cross compilers g++-mingw-w64-x86-64-win32 and g++-mingw-w64-i686-win32),
# without the tests; python3 makes the Windows README.txt and the manual page.
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
    cmake --build "$dir" -j "$jobs" --target all zekora-package-files
}

build "$linux"
build "$win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake"
build "$win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
# The 64-bit Windows tree's archive takes the 32-bit programs along.
cmake -S "$root" -B "$win64" -DZEKORA_PACKAGE_WITH="$win32" > /dev/null

for program in zekora64-popcnt zekora64 zekora32-popcnt zekora32; do
    [[ -x "$linux/bin/$program" ]] || fail "$linux/bin/$program was not built (install g++-multilib)"
done

mkdir -p "$output"
rm -f "$output"/zekora[-_]*.tar.gz "$output"/zekora[-_]*.zip "$output"/zekora[-_]*.deb \
    "$output/SHA256SUMS"
(cd "$linux" && cpack -B "$output")
(cd "$win64" && cpack -B "$output")
rm -rf "$output/_CPack_Packages"
(cd "$output" && sha256sum zekora[-_]*.tar.gz zekora[-_]*.zip zekora[-_]*.deb > SHA256SUMS)

# The checks. The names come from the version CMake set.
read -r version debian_version < "$linux/release-version"
tgz="zekora-$version-linux" zip="zekora-$version-windows" deb="zekora_${debian_version}_amd64.deb"
# Standard input lists exactly the names given, in any order.
holds() { diff <(sort) <(printf '%s\n' "$@" | sort); }
cd "$output"
tar -tzf "$tgz.tar.gz" | holds "$tgz"/{LICENSE,README.md,zekora64-popcnt,zekora64,zekora32-popcnt,zekora32}
unzip -Z1 "$zip.zip" |
    holds "$zip"/{LICENSE.txt,README.txt,zekora64-popcnt.exe,zekora64.exe,zekora32-popcnt.exe,zekora32.exe}
dpkg-deb -c "$deb" | awk '!/^d/ {print $6}' |
    holds ./usr/games/zekora64{-popcnt,} ./usr/share/man/man6/zekora64{-popcnt,}.6.gz \
        ./usr/share/doc/zekora/{README.md.gz,changelog.gz,copyright} \
        ./usr/share/games/plugins/uci/zekora64-popcnt.eng ./usr/share/lintian/overrides/zekora
[[ "$(dpkg-deb -f "$deb" Package Version Architecture)" == \
    "Package: zekora"$'\n'"Version: $debian_version"$'\n'"Architecture: amd64" ]] ||
    fail "$deb: wrong control fields"
awk '{print $2}' SHA256SUMS | holds "$tgz.tar.gz" "$zip.zip" "$deb"
sha256sum --quiet -c SHA256SUMS
if command -v lintian > /dev/null; then
    lintian --fail-on error,warning "$deb"
else
    echo "release: lintian skipped, not installed (install lintian)"
fi

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
tar -xzf "$tgz.tar.gz" -C "$unpacked"
unzip -q "$zip.zip" -d "$unpacked"
dpkg-deb -x "$deb" "$unpacked/deb"
cmp "$root/LICENSE" "$unpacked/$tgz/LICENSE"
cmp "$root/LICENSE" <(tr -d '\r' < "$unpacked/$zip/LICENSE.txt")
grep -q '^License: GPL-3+$' "$unpacked/deb/usr/share/doc/zekora/copyright"
cmp "$root/packaging/zekora64-popcnt.eng" \
    "$unpacked/deb/usr/share/games/plugins/uci/zekora64-popcnt.eng"
! file "$unpacked/$tgz"/zekora* "$unpacked"/deb/usr/games/* | grep -v ', stripped$' ||
    fail "the programs above are not stripped"
# lld leaves a Windows program without symbols but sets no "stripped" flag, which file reads.
for program in "$unpacked/$zip"/*.exe; do
    [[ "$(x86_64-w64-mingw32-objdump -t "$program")" == *$'\nno symbols'* &&
        "$(x86_64-w64-mingw32-objdump -h "$program")" != *' .debug'* ]] ||
        fail "$program: not stripped"
done
# The Windows README: Windows line ends throughout, and no build instructions.
! grep -v $'\r$' "$unpacked/$zip/README.txt" ||
    fail "README.txt: lines above without CRLF"
! grep -E 'cmake|apt|\$HOME|```' "$unpacked/$zip/README.txt" ||
    fail "README.txt: lines above not for Windows users"
# Both manual pages render without a warning; zekora64's is the same page.
for page in zekora64-popcnt zekora64; do
    warnings="$(MANROFFSEQ='' MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings \
        -M "$unpacked/deb/usr/share/man" 6 "$page" 2>&1 > "$unpacked/$page.txt")"
    [[ -z "$warnings" ]] || fail "$page.6: $warnings"
    grep -q 'Traffic Depth' "$unpacked/$page.txt"
done
cmp "$unpacked/zekora64-popcnt.txt" "$unpacked/zekora64.txt"
# End of input, not "quit", which would end the search at once without an answer.
printf 'uci\nposition startpos\ngo depth 4\n' | "$unpacked/deb/usr/games/zekora64-popcnt" |
    grep -q '^bestmove '
echo "release: packages in $output, checked:"
ls -l "$output"/zekora* "$output/SHA256SUMS"
