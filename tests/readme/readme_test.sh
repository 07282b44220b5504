#!/usr/bin/env bash
# Runs the README's commands as a reader would, so that the README stays
# true:
#   - the report the README opens with is the first lines of what talvo
#     prints on the shipped example;
#   - every ```sh block, in the README's order, in one shell that stops at
#     the first failing command, in a scratch directory laid out like the
#     sources (each top-level entry linked, build/release the build under
#     test), with HOME inside it so that ~/talvo is the test's own; the
#     reads, cDNAs and annotation the commands name are small stand-ins
#     made here;
#   - the ```sh slurm block as a dry run (no SLURM here).
# The ```sh install and ```sh quick-start blocks are run by CI itself.
#
#   readme_test.sh SOURCE_DIR BUILD_DIR MAKE_SCAN_READS
set -u
source_dir=$(realpath "$1")
build=$(realpath "$2")
make_reads=$(realpath "$3")
readme=$source_dir/README.md
commands=$source_dir/tools/readme-commands.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-readme.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
for tool in snakemake seqkit; do
    command -v "$tool" > /dev/null || fail "$tool is not installed (Debian package $tool)"
done

# The opening example: a ```text block of the report's first lines, then "...".
awk '/^```text$/ { open = 1; next } open && /^```/ { exit } open' "$readme" > "$work/example.txt"
[ "$(tail -1 "$work/example.txt")" = "..." ] || fail "no \`\`\`text example ending in ... in the README"
sed -i '$d' "$work/example.txt"
(cd "$source_dir" && "$build/talvo") 2> /dev/null | head -n "$(wc -l < "$work/example.txt")" > "$work/printed.txt"
diff "$work/example.txt" "$work/printed.txt" > "$work/example.diff" ||
    fail "the README's example is not what talvo prints:
$(cat "$work/example.diff")"

# The sources' layout, with the build under test as build/release.
tree=$work/tree
mkdir -p "$tree/build" "$work/home"
for entry in "$source_dir"/*; do
    [ "$(basename "$entry")" = build ] || ln -s "$entry" "$tree/"
done
ln -s "$build" "$tree/build/release"
cd "$tree" || exit 1

# Stand-ins for the user's files: planted reads from the shipped example as
# FASTA and FASTQ, plain and gzip; the shipped human cDNAs and their
# coding regions as the cDNAs of another organism.
"$make_reads" "$source_dir/sample.txt" reads.fa 24 7 || fail "make_scan_reads"
awk '/^>/ { if (seq != "") print seq; print "@" substr($0, 2); seq = ""; next }
     { seq = seq $0 }
     END { if (seq != "") print seq }' reads.fa |
    awk 'NR % 2 == 1 { print; next } { q = $0; gsub(/./, "I", q); print; print "+"; print q }' > reads.fastq
for name in reads nanopore cdna-nanopore run1 run2; do gzip -c reads.fastq > "$name.fastq.gz"; done
for name in cdna ests; do gzip -c reads.fa > "$name.fa.gz"; done
cp reads.fa clones.fa
cp "$source_dir/sample.txt" my-read.fa
zcat "$source_dir/data/human/transcripts.fa.gz" > my-cdnas.fa
zcat "$source_dir/data/human/cds.tsv.gz" > my-cds.tsv
rm reads.fa reads.fastq

script=$work/commands.sh
{
    echo 'set -euxo pipefail'
    bash "$commands" run "$readme" || exit 1
    bash "$commands" slurm "$readme" | sed '/^snakemake /s/$/ --dry-run/' || exit 1
} > "$script" || fail "the README's blocks cannot be read"
HOME=$work/home bash "$script" > "$work/run.log" 2>&1 || {
    tail -40 "$work/run.log"
    fail "a README command failed (above)"
}
echo "PASS"
