#!/usr/bin/env bash
# The whole test suite: a Release build of every program with its tests, then the same suite
# again under AddressSanitizer and UndefinedBehaviorSanitizer (64-bit programs only).
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

echo "== All tests passed"
