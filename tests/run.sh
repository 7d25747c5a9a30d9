#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole test suite: where the MinGW-w64 cross compilers are installed, the Windows programs
# first, and where emscripten is installed the web package; then a Release build of every
# program with its tests (which also run the 64-bit Windows programs under Wine, where it is
# installed, and the web package under Node and Chromium), and the release packages made from
# these trees (tools/release.sh checks them); then the same suite again under AddressSanitizer and
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

if [[ ${#windows_builds[@]} -eq 2 && -x "$root/build/bin/zekora32" ]]; then
    echo "== Release packages from these trees, checked (build-packages/)"
    bash "$root/tools/release.sh" "$root/build-packages" "$root/build" "${windows_builds[@]}"
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
