#!/bin/sh
# Retrains the shipped models (param-human from data/human and
# data/human-refseq, param-arabidopsis from data/arabidopsis) with
# tools/build-models.sh into a temporary directory and compares them with the
# committed ones, byte for byte.
set -eu
build=$1
root=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
sh "$root/tools/build-models.sh" "$build" "$out" 2>"$out/log" || {
    cat "$out/log"
    exit 1
}
for name in human arabidopsis; do
    diff -r "$root/param-$name" "$out/param-$name"
done
echo "param-human and param-arabidopsis retrained byte for byte"
