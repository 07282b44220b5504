#!/bin/sh
# Rebuilds the shipped parameter directories from the annotated cDNAs in
# data/, byte for byte, with the codon model's EST and ONT error settings
# from the error profiles in data/error-profiles.
#
#   tools/build-models.sh [BUILD_DIR]     (default: build/release)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
data=$root/data
profiles=$data/error-profiles
train=$build/talvo-train
if [ ! -x "$train" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" --target talvo-train
fi
for organism in human arabidopsis; do
    rm -rf "$root/param-$organism"
    "$train" --fasta "$data/$organism/transcripts.fa.gz" --cds "$data/$organism/cds.tsv.gz" \
        --error-profile est="$profiles/dmel_sanger_est_errors/error_profile.tsv.gz" \
        --error-profile ont="$profiles/ont_sirv_pcs109_errors/error_profile.tsv.gz" \
        --out "$root/param-$organism"
done
