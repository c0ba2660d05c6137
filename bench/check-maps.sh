#!/bin/sh
# Generates the benchmark's small shapes and checks that tedchunk reads them as promised:
# well-formed, the chunk count the generator reports, a top-level preview, and the
# nesting and body lengths of the shape. (The 256 MiB shape is checked by the benchmark.)
# Usage: check-maps.sh GENERATOR TEDCHUNK
set -eu
generator=$1
tedchunk=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() {
    echo "check-maps: $*" >&2
    exit 1
}

# shape, deepest level, smallest and largest data body
check() {
    map=$dir/$1.ted
    report=$("$generator" "$1" "$map")
    bytes=${report%% bytes*}
    chunks=$(echo "$report" | sed 's/.*, \([0-9]*\) chunks.*/\1/')
    [ "$(wc -c <"$map")" -eq "$bytes" ] || fail "$1: size differs from the report"
    [ "$("$tedchunk" check "$map")" = "$map: well-formed, $chunks chunks" ] ||
        fail "$1: not well-formed with $chunks chunks"
    "$tedchunk" list "$map" | awk -v shape="$1" -v depth="$2" -v least="$3" -v most="$4" '
        { match($0, /^ */); level = RLENGTH / 2 + 1; if (level > deepest) deepest = level }
        level == 1 && $1 == 19 && $2 == "data" { preview = 1 }
        $2 == "data" && $1 != 19 && ($3 < least || $3 > most) { print shape ": body of " $3 " bytes"; bad = 1 }
        END {
            if (!preview) { print shape ": no top-level preview"; bad = 1 }
            if (deepest != depth) { print shape ": nested " deepest " deep"; bad = 1 }
            exit bad
        }' || fail "$1: wrong shape"
    echo "$1: $report"
}

check typical 4 8 65536
check tiny 2 8 8
