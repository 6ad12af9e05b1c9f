#!/bin/sh
# Times `corvant-hextool info` against srec_cat reading the same big hex file
# (whole processes, best of several runs) and prints the speed ratio and both
# peak memories. Needs srec_cat (srecord) and GNU time (time).
#   bench/compare-hex.sh [BUILD_DIR]      default build/default
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
hextool=$build/tools/hextool/corvant-hextool
runs=${RUNS:-5}

for tool in srec_cat /usr/bin/time "$hextool"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
big=$work/big.hex
/usr/bin/python3 "$root/bench/make-big-hex.py" "$big"
size=$(stat -c %s "$big")

# best_of COMMAND...: prints "seconds peak_kib", the fastest run's time and
# the largest peak resident size seen.
best_of() {
    best=""; peak=0
    i=0
    while [ $i -lt "$runs" ]; do
        /usr/bin/time -f "%e %M" -o "$work/t" "$@" >/dev/null 2>&1 || true
        read -r secs kib < "$work/t"
        if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then best=$secs; fi
        [ "$kib" -gt "$peak" ] && peak=$kib
        i=$((i + 1))
    done
    echo "$best $peak"
}

"$hextool" info "$big" | grep -q '^valid: *yes' || { echo "hextool does not find big.hex valid" >&2; exit 1; }
set -- $(best_of "$hextool" info "$big"); ours_s=$1; ours_kib=$2
set -- $(best_of srec_cat "$big" -intel -o /dev/null -binary); srec_s=$1; srec_kib=$2

awk -v size="$size" -v os="$ours_s" -v ok="$ours_kib" -v ss="$srec_s" -v sk="$srec_kib" 'BEGIN {
    printf "file:                 %.1f MB (%d bytes)\n", size / 1e6, size
    printf "corvant-hextool info: %.3f s, peak %.1f MB (%.2f x file)\n", os, ok * 1024 / 1e6, ok * 1024 / size
    printf "srec_cat:             %.3f s, peak %.1f MB\n", ss, sk * 1024 / 1e6
    if (os > 0) printf "speed-up:             %.1f x (target: at least 5 x)\n", ss / os
    else        printf "speed-up:             below the timer resolution (0.01 s)\n"
    printf "memory target:        peak at most 3 x file size: %s\n", (ok * 1024 <= 3 * size) ? "met" : "NOT met"
}'
