#!/bin/sh
# Retrains param-human from the annotated cDNAs in data/human into a
# temporary directory and compares it with the committed one, byte for byte.
set -eu
train=$1
root=$2
data=$root/data/human
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$train" --fasta "$data/transcripts.fa.gz" --cds "$data/cds.tsv.gz" --out "$out/param-human" 2>"$out/log" || {
    cat "$out/log"
    exit 1
}
diff -r "$root/param-human" "$out/param-human"
echo "param-human retrained byte for byte"
