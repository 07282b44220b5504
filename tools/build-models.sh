#!/bin/sh
# Rebuilds the shipped parameter directories from the annotated cDNAs in
# data/, byte for byte, with the codon model's EST and ONT error settings
# from the error profiles in data/error-profiles (and the gene model the
# trainer builds beside them).
#
#   tools/build-models.sh [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR holds talvo-train (default: build/release, configured and built
# when it has none); the models are written to OUT_DIR/param-human and
# OUT_DIR/param-arabidopsis (default: the repository, replacing them).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
out=${2:-$root}
data=$root/data
profiles=$data/error-profiles
train=$build/talvo-train
if [ ! -x "$train" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" --target talvo-train
fi
train() {
    name=$1
    shift
    rm -rf "${out:?}/param-$name"
    "$train" "$@" \
        --error-profile est="$profiles/dmel_sanger_est_errors/error_profile.tsv.gz" \
        --error-profile ont="$profiles/ont_sirv_pcs109_errors/error_profile.tsv.gz" \
        --out "$out/param-$name"
}
# The human model learns from both human sets, pooled.
train human --fasta "$data/human/transcripts.fa.gz" --cds "$data/human/cds.tsv.gz" \
    --fasta "$data/human-refseq/transcripts.fa.gz" --cds "$data/human-refseq/cds.tsv.gz"
train arabidopsis --fasta "$data/arabidopsis/transcripts.fa.gz" --cds "$data/arabidopsis/cds.tsv.gz"
