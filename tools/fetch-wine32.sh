#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fetches, from Debian's archive, what Debian's wine64 needs to run the 32-bit Windows programs in
# its WoW64 mode for the tests: the 32-bit Windows DLLs of libwine:i386 of wine64's version,
# into OUT/i386-windows (OUT defaults to build-wine32/, where configuring the tests looks).
#   bash tools/fetch-wine32.sh [OUT]
# apt-get downloads the package with a private configuration, and only its Windows DLLs are
# unpacked: nothing is installed into the system (wine32:i386 breaks wine on a kernel without
# 32-bit support). Done once per wine64 version.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/build-wine32}")"
# Without wine64 or the 32-bit MinGW-w64 libraries there is nothing to run them with.
version="$(dpkg-query -W -f='${Version}' wine64 2> /dev/null)" || version=""
zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
if [[ -z "$version" || ! -f "$zlib" ]]; then
    echo "fetch-wine32: skipped, no wine64 or no $zlib (install wine64 and libz-mingw-w64)"
    exit 0
fi
[[ "$(cat "$out/version" 2> /dev/null)" == "$version" ]] && exit 0

apt="$out/apt"
rm -rf "$apt"
mkdir -p "$apt/lists/partial" "$apt/archives/partial"
: > "$apt/status"
cat > "$apt/apt.conf" <<CONF
Dir::State::Lists "$apt/lists";
Dir::State::status "$apt/status";
Dir::Cache "$apt";
Dir::Cache::archives "$apt/archives";
APT::Architecture "i386";
APT::Architectures { "i386"; };
Debug::NoLocking "true";
APT::Sandbox::User "root";
CONF
export APT_CONFIG="$apt/apt.conf"
echo "fetch-wine32: the 32-bit Windows DLLs of libwine:i386 $version"
apt-get -q update > /dev/null
(cd "$apt" && apt-get -q download "libwine:i386=$version" > /dev/null)

dlls=usr/lib/i386-linux-gnu/wine/i386-windows
rm -rf "$out/files" "$out/i386-windows" "$out/version"
mkdir -p "$out/files"
dpkg-deb --fsys-tarfile "$apt"/libwine_*_i386.deb | tar -x -C "$out/files" "./$dlls"
mv "$out/files/$dlls" "$out/i386-windows"
rm -rf "$out/files" "$apt"
# Wine's zlib1.dll is MinGW's (libz-mingw-w64), which libwine's install script copies in and
# marks as a Wine builtin DLL: those words, padded to 32 bytes, at byte 64 of its DOS header.
cp "$zlib" "$out/i386-windows/zlib1.dll"
{ printf 'Wine builtin DLL'; head -c 16 /dev/zero; } |
    dd of="$out/i386-windows/zlib1.dll" bs=1 seek=64 conv=notrunc status=none
echo "$version" > "$out/version"
