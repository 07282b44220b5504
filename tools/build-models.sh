#!/bin/sh
# Rebuilds the shipped parameter directories from the annotated cDNAs in
# data/, byte for byte.
#
#   tools/build-models.sh [BUILD_DIR]     (default: build/release)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
data=$root/data
train=$build/talvo-train
if [ ! -x "$train" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" --target talvo-train
fi
for organism in human arabidopsis; do
    rm -rf "$root/param-$organism"
    "$train" --fasta "$data/$organism/transcripts.fa.gz" --cds "$data/$organism/cds.tsv.gz" \
        --out "$root/param-$organism"
done
