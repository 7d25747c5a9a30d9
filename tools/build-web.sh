#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The web package, with Debian's emscripten:
#   bash tools/build-web.sh [OUT]        (OUT defaults to build-web)
# builds the engine for Web Workers and Node (zekora.js, which loads zekora-suspending.js or
# zekora-blocking.js) and zekora-tool.js in OUT/bin, and puts the package in OUT/dist: the
# engine's three files, the page to play against it (index.html with the board and the rules
# from web/node_modules, installed with npm ci when missing) and the npm package's
# package.json, so that "npm pack" there makes the tarball a site installs.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/build-web}")"

if ! command -v emcmake > /dev/null; then
    echo "the web build needs emscripten (Debian: apt-get install emscripten)" >&2
    exit 1
fi
# Debian's emscripten finds its JavaScript tools (acorn) only here.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

emcmake cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DZEKORA_TESTS=OFF > /dev/null
cmake --build "$out" -j "$(nproc)"

modules="$root/web/node_modules"
if [[ ! -d "$modules/cm-chessboard" || ! -d "$modules/chess.js" ]]; then
    npm ci --prefix "$root/web" --no-audit --no-fund
fi

dist="$out/dist"
rm -rf "$dist"
mkdir -p "$dist/vendor/cm-chessboard" "$dist/vendor/chess.js"
cp "$out/bin/zekora.js" "$out/bin/zekora-blocking.js" "$out/bin/zekora-suspending.js" "$dist/"
cp "$root/web/index.html" "$root/web/play.js" "$root/web/play.css" "$root/web/README.md" "$dist/"
cp "$root/web/dist-package.json" "$dist/package.json"
# The board's modules and its styles and sprites, without their sources.
cp -r "$modules/cm-chessboard/src" "$modules/cm-chessboard/LICENSE" "$dist/vendor/cm-chessboard/"
(cd "$modules/cm-chessboard" && find assets -name '*.css' -o -name '*.svg') |
    while read -r file; do
        mkdir -p "$dist/vendor/cm-chessboard/$(dirname "$file")"
        cp "$modules/cm-chessboard/$file" "$dist/vendor/cm-chessboard/$file"
    done
find "$dist/vendor/cm-chessboard/src" -name '*.md' -delete
cp "$modules/chess.js/dist/esm/chess.js" "$modules/chess.js/LICENSE" "$dist/vendor/chess.js/"
sed -i '/^\/\/# sourceMappingURL=/d' "$dist/vendor/chess.js/chess.js"
echo "web package in $dist"
