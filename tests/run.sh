#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole test suite: where the MinGW-w64 cross compilers are installed, the Windows programs
# first, and where emscripten is installed the web package; then a Release build of every
# program with its tests (which also run the 64-bit Windows programs under Wine, where it is
# installed, and the web package under Node and Chromium), and the release packages made from
# these trees and checked; then the same suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer (64-bit programs only); then, where clang can build them, each
# fuzz target for a minute (ZEKORA_FUZZ_SECONDS).
# Slow checks (label "long") are left out; run them with: ctest --test-dir build -L long
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"

run_tree() {
    local dir="$1"
    shift
    cmake -S "$root" -B "$dir" "$@"
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" -LE long --no-tests=error --output-on-failure -j "$jobs"
}

windows_builds=()
for target in x86_64:64 i686:32; do
    arch="${target%%:*}" bits="${target##*:}"
    if command -v "$arch-w64-mingw32-g++-win32" > /dev/null; then
        echo "== Windows $bits-bit programs (build-win$bits/)"
        cmake -S "$root" -B "$root/build-win$bits" -DZEKORA_TESTS=OFF \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" \
            -DZEKORA_HOST_PROFILE_DIR="$root/build-win-profile"
        # With the tests' launcher, which starts the programs as Windows interfaces do.
        cmake --build "$root/build-win$bits" -j "$jobs" --target all gui-launcher
        windows_builds+=("$root/build-win$bits")
    else
        echo "== Windows $bits-bit programs skipped: no $arch-w64-mingw32-g++-win32" \
            "(install g++-mingw-w64-${arch//_/-}-win32)"
    fi
done

# The web package, where emscripten is installed: the Release tree's tests then also run its
# zekora.js under Node and drive the package in headless Chromium.
web_build=""
if command -v emcmake > /dev/null; then
    echo "== Web package (build-web/)"
    bash "$root/tools/build-web.sh" "$root/build-web"
    web_build="$root/build-web"
else
    echo "== Web package skipped: no emcmake (install emscripten)"
fi

echo "== Release build and tests (build/)"
run_tree "$root/build" -DCMAKE_BUILD_TYPE=Release -DZEKORA_TESTS=ON \
    -DZEKORA_WINDOWS_BUILDS="$(IFS=';' && echo "${windows_builds[*]}")" \
    -DZEKORA_WEB_BUILD="$web_build"

# Each package holds exactly what it should, with the licence, stripped programs, the Debian
# package's manual page, plugin file and lintian's approval, and their checksums verify; the
# Debian package's program plays.
check_packages() {
    local dir="$1" unpacked deb="$1/zekora_1.0~beta_amd64.deb" warnings symbols sections
    diff <(tar -tzf "$dir/zekora-1.0-beta-linux.tar.gz" | sort) - <<'LIST'
zekora-1.0-beta-linux/LICENSE
zekora-1.0-beta-linux/README.md
zekora-1.0-beta-linux/zekora32
zekora-1.0-beta-linux/zekora32-popcnt
zekora-1.0-beta-linux/zekora64
zekora-1.0-beta-linux/zekora64-popcnt
LIST
    diff <(unzip -Z1 "$dir/zekora-1.0-beta-windows.zip" | sort) - <<'LIST'
zekora-1.0-beta-windows/LICENSE.txt
zekora-1.0-beta-windows/README.txt
zekora-1.0-beta-windows/zekora32-popcnt.exe
zekora-1.0-beta-windows/zekora32.exe
zekora-1.0-beta-windows/zekora64-popcnt.exe
zekora-1.0-beta-windows/zekora64.exe
LIST
    diff <(dpkg-deb -c "$deb" | awk '{print $6}' | sort) - <<'LIST'
./usr/
./usr/games/
./usr/games/zekora64
./usr/games/zekora64-popcnt
./usr/share/
./usr/share/doc/
./usr/share/doc/zekora/
./usr/share/doc/zekora/README.md.gz
./usr/share/doc/zekora/changelog.gz
./usr/share/doc/zekora/copyright
./usr/share/games/
./usr/share/games/plugins/
./usr/share/games/plugins/uci/
./usr/share/games/plugins/uci/zekora64-popcnt.eng
./usr/share/lintian/
./usr/share/lintian/overrides/
./usr/share/lintian/overrides/zekora
./usr/share/man/
./usr/share/man/man6/
./usr/share/man/man6/zekora64-popcnt.6.gz
./usr/share/man/man6/zekora64.6.gz
LIST
    [[ "$(dpkg-deb -f "$deb" Package Version Architecture)" == \
        $'Package: zekora\nVersion: 1.0~beta\nArchitecture: amd64' ]]
    (cd "$dir" && sha256sum --quiet -c SHA256SUMS)
    [[ "$(awk '{print $2}' "$dir/SHA256SUMS" | sort | tr '\n' ' ')" == \
        "zekora-1.0-beta-linux.tar.gz zekora-1.0-beta-windows.zip zekora_1.0~beta_amd64.deb " ]]
    if command -v lintian > /dev/null; then
        lintian --fail-on error,warning "$deb"
    else
        echo "== lintian skipped: not installed (install lintian)"
    fi

    unpacked="$(mktemp -d)"
    tar -xzf "$dir/zekora-1.0-beta-linux.tar.gz" -C "$unpacked"
    unzip -q "$dir/zekora-1.0-beta-windows.zip" -d "$unpacked"
    dpkg-deb -x "$deb" "$unpacked/deb"
    cmp "$root/LICENSE" "$unpacked/zekora-1.0-beta-linux/LICENSE"
    cmp "$root/LICENSE" <(tr -d '\r' < "$unpacked/zekora-1.0-beta-windows/LICENSE.txt")
    grep -q '^License: GPL-3+$' "$unpacked/deb/usr/share/doc/zekora/copyright"
    if file "$unpacked"/zekora-1.0-beta-linux/zekora* "$unpacked"/deb/usr/games/* |
        grep -v ', stripped$'; then
        echo "release programs above not stripped" >&2
        return 1
    fi
    # lld leaves a Windows program without symbols but sets no "stripped" flag, which file reads.
    for program in "$unpacked"/zekora-1.0-beta-windows/*.exe; do
        symbols="$(x86_64-w64-mingw32-objdump -t "$program")"
        sections="$(x86_64-w64-mingw32-objdump -h "$program")"
        if [[ "$symbols" != *$'\nno symbols'* || "$sections" == *' .debug'* ]]; then
            echo "$program: not stripped" >&2
            return 1
        fi
    done
    # The Windows README: Windows line ends throughout, and no build instructions.
    if grep -v $'\r$' "$unpacked/zekora-1.0-beta-windows/README.txt" ||
        grep -E 'cmake|apt|\$HOME|```' "$unpacked/zekora-1.0-beta-windows/README.txt"; then
        echo "README.txt: lines above without CRLF or not for Windows users" >&2
        return 1
    fi
    # Both manual pages render without a warning; zekora64's is the same page.
    for page in zekora64-popcnt zekora64; do
        warnings="$(MANROFFSEQ='' MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings \
            -M "$unpacked/deb/usr/share/man" 6 "$page" 2>&1 > "$unpacked/$page.txt")"
        [[ -z "$warnings" ]] || { echo "$page.6: $warnings" >&2; return 1; }
        grep -q 'Traffic Depth' "$unpacked/$page.txt"
    done
    cmp "$unpacked/zekora64-popcnt.txt" "$unpacked/zekora64.txt"
    diff "$unpacked/deb/usr/share/games/plugins/uci/zekora64-popcnt.eng" - <<'ENG'
plugin spec 0.0
zekora64-popcnt
chess
ENG
    # End of input, not "quit", which would end the search at once without an answer.
    printf 'uci\nposition startpos\ngo depth 4\n' | "$unpacked/deb/usr/games/zekora64-popcnt" |
        grep -q '^bestmove '
    rm -rf "$unpacked"
}

if [[ ${#windows_builds[@]} -eq 2 && -x "$root/build/bin/zekora32" ]]; then
    echo "== Release packages from these trees, checked (build-packages/)"
    bash "$root/tools/release.sh" "$root/build-packages" "$root/build" "${windows_builds[@]}"
    check_packages "$root/build-packages"
fi

echo "== Sanitizer build and tests (build-san/)"
run_tree "$root/build-san" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEKORA_SANITIZE=ON -DZEKORA_32BIT=OFF \
    -DZEKORA_TESTS=ON

# libFuzzer needs clang and its runtime library (Debian: clang and libclang-rt-14-dev).
have_libfuzzer() {
    command -v clang++ > /dev/null || return 1
    local probe status=0
    probe="$(mktemp -d)"
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
        > "$probe/probe.cpp"
    clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2> /dev/null || status=1
    rm -rf "$probe"
    return "$status"
}

if have_libfuzzer; then
    seconds="${ZEKORA_FUZZ_SECONDS:-60}"
    echo "== Fuzz targets, ${seconds} s each (build-fuzz/)"
    cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DZEKORA_FUZZ=ON \
        -DZEKORA_FUZZ_SECONDS="$seconds" -DZEKORA_TESTS=OFF -DZEKORA_32BIT=OFF
    cmake --build "$root/build-fuzz" -j "$jobs" --target fuzz-commands fuzz-setup
    ctest --test-dir "$root/build-fuzz" -L fuzz --no-tests=error --output-on-failure -j "$jobs"
else
    echo "== Fuzz targets skipped: no clang++ with libFuzzer (install clang and libclang-rt-14-dev)"
fi

echo "== All tests passed"
