#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole test suite: where their cross compilers are installed, the Windows and ARM programs
# first, and where emscripten is installed the web package; then a Release build of every
# program with its tests (which also run the Windows programs under Wine, where it is installed,
# the ARM programs under qemu, and the web package under Node and Chromium), and the release
# packages made from these trees (tools/release.sh checks them); then the same suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer (64-bit programs only); then, where
# clang can build them, each fuzz target for a minute (ZEKORA_FUZZ_SECONDS).
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

# The cross-built programs, which the Release tree's tests run (their trees share one bench
# profile): the Windows programs under Wine, where the MinGW-w64 cross compilers are installed,
# and the ARM programs under qemu, where clang, lld, Debian's ARM C++ libraries and qemu-user are.
cross_build() {
    local name="$1" toolchain="$2"
    shift 2
    echo "== $name programs (build-$name/)"
    cmake -S "$root" -B "$root/build-$name" -DZEKORA_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
        -DZEKORA_HOST_PROFILE_DIR="$root/build-host-profile"
    cmake --build "$root/build-$name" -j "$jobs" "$@"
}
have() { for command; do command -v "$command" > /dev/null || return 1; done; }

windows_builds=()
for target in x86_64:64 i686:32; do
    arch="${target%%:*}" bits="${target##*:}"
    if have "$arch-w64-mingw32-g++-win32"; then
        # With the tests' launcher, which starts the programs as Windows interfaces do.
        cross_build "win$bits" "mingw-w64-$arch" --target all gui-launcher
        windows_builds+=("$root/build-win$bits")
    else
        echo "== Windows $bits-bit programs skipped: no $arch-w64-mingw32-g++-win32" \
            "(install g++-mingw-w64-${arch//_/-}-win32)"
    fi
done
arm_builds=()
for target in arm64:aarch64:aarch64-linux-gnu armv7:arm:arm-linux-gnueabihf; do
    IFS=: read -r name qemu triple <<< "$target"
    if have clang++ ld.lld "qemu-$qemu" && [[ -d "/usr/lib/gcc-cross/$triple" ]]; then
        cross_build "$name" "linux-$name"
        arm_builds+=("$root/build-$name")
    else
        echo "== ARM $name program skipped: install clang, lld, qemu-user and" \
            "libstdc++-12-dev-${name/v7/hf}-cross"
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
    -DZEKORA_ARM_BUILDS="$(IFS=';' && echo "${arm_builds[*]}")" -DZEKORA_WEB_BUILD="$web_build"

if [[ ${#windows_builds[@]} -eq 2 && ${#arm_builds[@]} -eq 2 && -x "$root/build/bin/zekora32" ]]
then
    echo "== Release packages from these trees, checked (build-packages/)"
    bash "$root/tools/release.sh" "$root/build-packages" "$root/build" "${windows_builds[@]}" \
        "${arm_builds[@]}"
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
