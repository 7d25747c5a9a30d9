#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Compares the speed of two zekora-tool builds in one run: their benches alternate ROUNDS
# times so that both see the same machine, the node counts must agree, and the medians of
# nodes per second are printed with their ratio (new over old). A tool built for the web
# (zekora-tool.js) runs under Node; a Windows zekora-tool.exe under Wine (WINE names the
# loader, default wine or Debian's /usr/lib/wine/wine64; WINEPREFIX is used as set).
#   tools/compare-bench.sh OLD-TOOL NEW-TOOL [ROUNDS] [DEPTH]
set -euo pipefail

if [[ $# -lt 2 ]]; then
    echo "usage: $0 OLD-TOOL NEW-TOOL [ROUNDS] [DEPTH]" >&2
    exit 2
fi
old="$1" new="$2" rounds="${3:-5}"
depth=()
[[ $# -ge 4 ]] && depth=("$4")

wine="${WINE:-$(command -v wine || echo /usr/lib/wine/wine64)}"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# The last line of a bench, "N nodes M nps", without the carriage return of a Windows program.
bench() {
    local tool="$1"
    shift
    case "$tool" in
        *.js) node "$tool" bench "$@" ;;
        *.exe) WINEDEBUG=-all "$wine" "$tool" bench "$@" ;;
        *) "$tool" bench "$@" ;;
    esac | tail -n 1 | tr -d '\r'
}

old_nps=() new_nps=()
for ((r = 1; r <= rounds; ++r)); do
    read -r old_nodes _ o _ < <(bench "$old" "${depth[@]}")
    read -r new_nodes _ n _ < <(bench "$new" "${depth[@]}")
    if [[ "$old_nodes" != "$new_nodes" ]]; then
        echo "node counts differ: $old_nodes (old) and $new_nodes (new)" >&2
        exit 1
    fi
    echo "round $r: old $o nps, new $n nps"
    old_nps+=("$o") new_nps+=("$n")
done

o="$(printf '%s\n' "${old_nps[@]}" | median)"
n="$(printf '%s\n' "${new_nps[@]}" | median)"
echo "nodes $new_nodes"
echo "median old $o nps, new $n nps, ratio $(awk -v o="$o" -v n="$n" 'BEGIN { printf "%.3f", n / o }')"
