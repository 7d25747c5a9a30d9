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

# The npm package. Each ES module of the library (index.js, levels.js) gets its CommonJS twin
# (.cjs), for require() and Node: its imports of the package's modules become require()s, its
# exports assignments, import.meta.url the file's own URL. Each build's source also travels as
# a module (engine-*.js), from which the library makes its Worker, so that bundlers carry the
# engine as they carry any module.
dist="$out/dist"
rm -rf "$dist"
mkdir -p "$dist"
cp "$out/bin/zekora.js" "$out/bin/zekora-blocking.js" "$out/bin/zekora-suspending.js" \
    "$out/bin/package.json" "$root/web/index.js" "$root/web/index.d.ts" "$root/web/README.md" \
    "$root/LICENSE" "$dist/"
commonjs_twin() {
    local module="$1" name
    sed -E -e "s/^import \{(.*)\} from '(\.\/[^']*)\.js';$/const {\1} = require('\2.cjs');/" \
        -e 's/^export (async function|function|class|const|let) /\1 /' \
        -e "s|import\.meta\.url|require('node:url').pathToFileURL(__filename).href|g" \
        "$module"
    sed -n -E 's/^export (async function|function|class|const|let) ([A-Za-z_$][A-Za-z0-9_$]*).*/\2/p' \
        "$module" | while read -r name; do echo "exports.$name = $name;"; done
}
commonjs_twin "$root/web/index.js" > "$dist/index.cjs"
if [[ -f "$root/web/levels.js" ]]; then
    cp "$root/web/levels.js" "$root/web/levels.d.ts" "$dist/"
    commonjs_twin "$root/web/levels.js" > "$dist/levels.cjs"
fi
for build in blocking suspending; do
    node -e 'const fs = require("fs");
        fs.writeFileSync(process.argv[2], "// SPDX-License-Identifier: GPL-3.0-or-later\n" +
            "// The source of zekora-" + process.argv[3] + ".js, for a Worker made from a Blob.\n" +
            "export default " + JSON.stringify(fs.readFileSync(process.argv[1], "utf8")) + ";\n");' \
        "$out/bin/zekora-$build.js" "$dist/engine-$build.js" "$build"
done

# The page: web/page, the package's runtime files in zekora/ (with the level module), and in
# vendor/ the parts of the board and the rules that the page loads. The service worker learns
# the files to keep offline, and a version that changes with any of them.
site="$out/site"
board="$modules/cm-chessboard"
rm -rf "$site"
mkdir -p "$site/zekora" "$site/vendor/chess.js" "$site/vendor/cm-chessboard/src/extensions" \
    "$site/vendor/cm-chessboard/assets/pieces"
cp -r "$root/web/page/." "$site/"
find "$dist" -maxdepth 1 \( -name '*.js' -o -name '*.wasm' \) -exec cp {} "$site/zekora/" \;
[[ -f "$site/zekora/levels.js" ]] || cp "$root/web/levels.js" "$site/zekora/"
cp -r "$board/src/Chessboard.js" "$board/src/lib" "$board/src/model" "$board/src/view" \
    "$site/vendor/cm-chessboard/src/"
cp "$board/LICENSE" "$site/vendor/cm-chessboard/"
cp "$board/assets/chessboard.css" "$site/vendor/cm-chessboard/assets/"
cp "$board/assets/pieces/standard.svg" "$site/vendor/cm-chessboard/assets/pieces/"
for extension in markers arrows promotion-dialog; do
    cp -r "$board/src/extensions/$extension" "$site/vendor/cm-chessboard/src/extensions/"
    mkdir -p "$site/vendor/cm-chessboard/assets/extensions/$extension"
    find "$board/assets/extensions/$extension" \( -name '*.css' -o -name '*.svg' \) \
        -exec cp {} "$site/vendor/cm-chessboard/assets/extensions/$extension/" \;
done
find "$site/vendor/cm-chessboard" -name '*.md' -delete
cp "$modules/chess.js/dist/esm/chess.js" "$modules/chess.js/LICENSE" "$site/vendor/chess.js/"
sed -i '/^\/\/# sourceMappingURL=/d' "$site/vendor/chess.js/chess.js"
# The page makes its engine from the library's modules (engine-*.js); the files of the raw
# Worker (zekora*.js) stay out of its offline copy.
files="$(cd "$site" && find . -type f ! -name LICENSE ! -name sw.js ! -path './zekora/zekora*' |
    sed 's|^\./||' | sort)"
version="$(cd "$site" && sha256sum $files | sha256sum | cut -c1-16)"
list="$(printf "'%s', " $files)"
sed -i -e "s|^const VERSION = .*|const VERSION = '$version';|" \
    -e "s|^const FILES = .*|const FILES = ['./', ${list%, }];|" "$site/sw.js"
echo "web package in $dist, page in $site"
