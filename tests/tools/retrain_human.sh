#!/bin/sh
# Retrains param-human into a temporary directory and compares it with the
# committed one, byte for byte. Exit 77 (skipped) without the data.
set -eu
train=$1
root=$2
data=$root/../shared/data/human
if [ ! -f "$data/transcripts.fa" ] || [ ! -f "$data/cds.tsv" ]; then
    echo "skipped: $data is absent (the annotated human cDNAs live beside the repository)"
    exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$train" --fasta "$data/transcripts.fa" --cds "$data/cds.tsv" --out "$out/param-human" 2>"$out/log" || {
    cat "$out/log"
    exit 1
}
diff -r "$root/param-human" "$out/param-human"
echo "param-human retrained byte for byte"
