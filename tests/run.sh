#!/usr/bin/env bash
# The whole test suite: a Release build of every program with its tests, then the same suite
# again under AddressSanitizer and UndefinedBehaviorSanitizer (64-bit programs only), then,
# where clang can build them, each fuzz target for a minute (ZEKORA_FUZZ_SECONDS).
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

echo "== Release build and tests (build/)"
run_tree "$root/build" -DCMAKE_BUILD_TYPE=Release -DZEKORA_TESTS=ON

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
