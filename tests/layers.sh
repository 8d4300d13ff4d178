#!/usr/bin/env bash
# Every file under src/ includes headers of its own folder and of the folders below it, never of
# one above; and inside a folder no file includes its way back to itself. A unit is a header and
# its source (machine/tape.h and machine/tape.cpp).
#   tests/layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}/src"

order="host cpu machine debugger config cassette frontend"

find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort | while read -r file; do
    sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*|\1|p' "$file" | while read -r header; do
        [[ $header == */* ]] || header="$(dirname "$file")/$header"
        echo "$file $header"
    done
done | awk -v order="$order" '
    BEGIN { n = split(order, names, " "); for (i = 1; i <= n; i++) rank[names[i]] = i }
    function folder(path) { split(path, part, "/"); return part[1] }
    function unit(path) { sub(/\.(h|cpp)$/, "", path); return path }
    {
        from = folder($1); to = folder($2)
        if (!(from in rank)) { print $1 ": the folder " from " has no place in the layer order"; bad = 1; next }
        if (!(to in rank)) { print $1 ": includes " $2 ", outside the layers"; bad = 1; next }
        if (rank[to] > rank[from]) { print $1 ": includes " $2 ", a layer above " from; bad = 1 }
        a = unit($1); b = unit($2)
        if (from == to && a != b && !((a, b) in edge)) { edge[a, b] = 1; out[a] = out[a] " " b }
    }
    # Depth-first search; a unit met again while on the path closes a circle.
    function visit(u,    list, k, i, v) {
        state[u] = 1; path[++depth] = u
        k = split(out[u], list, " ")
        for (i = 1; i <= k; i++) {
            v = list[i]
            if (state[v] == 1) { report(v); bad = 1 }
            else if (state[v] == 0) visit(v)
        }
        state[u] = 2; depth--
    }
    function report(v,    i, s) {
        for (i = depth; path[i] != v; i--) ;
        s = path[i]
        for (i++; i <= depth; i++) s = s " -> " path[i]
        print "a circle of includes: " s " -> " v
    }
    END {
        for (u in out) if (state[u] == 0) visit(u)
        if (bad) exit 1
        print "every include goes to its own layer or one below"
    }'
