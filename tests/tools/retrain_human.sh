#!/bin/sh
# Retrains param-human from the annotated cDNAs in data/human and
# data/human-refseq into a temporary directory and compares it with the
# committed one, byte for byte.
set -eu
train=$1
root=$2
data=$root/data
profiles=$root/data/error-profiles
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$train" --fasta "$data/human/transcripts.fa.gz" --cds "$data/human/cds.tsv.gz" \
    --fasta "$data/human-refseq/transcripts.fa.gz" --cds "$data/human-refseq/cds.tsv.gz" \
    --error-profile est="$profiles/dmel_sanger_est_errors/error_profile.tsv.gz" \
    --error-profile ont="$profiles/ont_sirv_pcs109_errors/error_profile.tsv.gz" \
    --out "$out/param-human" 2>"$out/log" || {
    cat "$out/log"
    exit 1
}
diff -r "$root/param-human" "$out/param-human"
echo "param-human retrained byte for byte"
