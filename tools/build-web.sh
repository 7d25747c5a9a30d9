#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The web package and the page, with Debian's emscripten:
#   bash tools/build-web.sh [OUT]        (OUT defaults to build-web)
# builds the engine for Web Workers and Node (zekora.js, which loads zekora-suspending.js or
# zekora-blocking.js) and zekora-tool.js in OUT/bin; puts the npm package in OUT/dist, so that
# "npm pack" there makes the tarball a site installs; and the page to play against Zekora in
# OUT/site, a folder for any static web host: the page, the board and the rules from
# web/node_modules (installed with npm ci when missing), and the package in site/zekora/.
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

# The npm package.
dist="$out/dist"
rm -rf "$dist"
mkdir -p "$dist"
cp "$out/bin/zekora.js" "$out/bin/zekora-blocking.js" "$out/bin/zekora-suspending.js" \
    "$out/bin/package.json" "$root/web/index.js" "$root/web/README.md" "$dist/"

# The page, with the package beside it.
site="$out/site"
rm -rf "$site"
mkdir -p "$site/vendor/cm-chessboard" "$site/vendor/chess.js"
cp -r "$root/web/page/." "$site/"
cp -r "$dist" "$site/zekora"
rm "$site/zekora/package.json" "$site/zekora/README.md"
# The board's modules and its styles and sprites, without their sources.
cp -r "$modules/cm-chessboard/src" "$modules/cm-chessboard/LICENSE" "$site/vendor/cm-chessboard/"
(cd "$modules/cm-chessboard" && find assets -name '*.css' -o -name '*.svg') |
    while read -r file; do
        mkdir -p "$site/vendor/cm-chessboard/$(dirname "$file")"
        cp "$modules/cm-chessboard/$file" "$site/vendor/cm-chessboard/$file"
    done
find "$site/vendor/cm-chessboard/src" -name '*.md' -delete
cp "$modules/chess.js/dist/esm/chess.js" "$modules/chess.js/LICENSE" "$site/vendor/chess.js/"
sed -i '/^\/\/# sourceMappingURL=/d' "$site/vendor/chess.js/chess.js"
echo "web package in $dist, page in $site"
