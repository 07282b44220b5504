#!/bin/sh
# talvo-eval with the codon and gene models, in a small cross-validation: the
# refine, long-read and gene columns come out with their figures (the gene
# model's on both strands with its region confidence), adding them leaves the
# window model's figures as they were, and a missing codon-model file is an
# error that names it.
set -eu
eval=$1
root=$2
data=$root/data/human
profiles=$root/data/error-profiles
est=$profiles/dmel_sanger_est_errors/error_profile.tsv.gz
ont=$profiles/ont_sirv_pcs109_errors/error_profile.tsv.gz
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
common="--fasta $data/transcripts.fa.gz --cds $data/cds.tsv.gz --folds 2 --subset 24 --threads 1 --rounds 20
        --windows 1000 --scenario profile:$est"

# shellcheck disable=SC2086
"$eval" $common --tsv "$tmp/window.tsv" >"$tmp/window.txt" 2>"$tmp/log" || { cat "$tmp/log"; fail "window run"; }
# shellcheck disable=SC2086
"$eval" $common --use window --use refine --use long-read --use gene --error-profile "est=$est" \
    --error-profile "ont=$ont" --setting est --strand both --tsv "$tmp/all.tsv" >"$tmp/all.txt" 2>"$tmp/log" ||
    { cat "$tmp/log"; fail "codon run"; }
cat "$tmp/all.txt"
for column in "window" "refine:est" "long-read:est" "gene:est"; do
    grep -q "^profile:dmel_sanger_est_errors $column	exact start and stop	" "$tmp/all.tsv" || fail "no column $column"
done
grep -q "^mean confidence, right calls +-10 *- " "$tmp/all.txt" || fail "window column shows a confidence"
grep -q "^profile:dmel_sanger_est_errors long-read:est	mean confidence, other calls	" "$tmp/all.tsv" ||
    fail "no confidence of the long-read calls"
grep -q "^profile:dmel_sanger_est_errors gene:est	region confidence >= 0.9, exact	" "$tmp/all.tsv" ||
    fail "no region confidence of the gene model"
grep -q "^profile:dmel_sanger_est_errors gene:est	other strand chosen	" "$tmp/all.tsv" || fail "no strand figure"
# The window model's column is the window-only run's.
grep "^profile:dmel_sanger_est_errors window	" "$tmp/all.tsv" | sed 's/ window//' >"$tmp/window-in-all.tsv"
tail -n +2 "$tmp/window.tsv" | diff - "$tmp/window-in-all.tsv" || fail "the window column changed"

# A parameter directory without a codon model.
mkdir "$tmp/param"
if "$eval" --fasta "$data/transcripts.fa.gz" --cds "$data/cds.tsv.gz" --model "$tmp/param" --use long-read \
    >/dev/null 2>"$tmp/err"; then
    fail "ran without a codon model"
fi
grep -q "^talvo-eval: .*$tmp/param/codon-model" "$tmp/err" || { cat "$tmp/err"; fail "message does not name the file"; }
[ "$(wc -l <"$tmp/err")" -eq 1 ] || { cat "$tmp/err"; fail "message is not one line"; }
# A model holding a value nan: refused with its file and line.
cp -r "$root/param-human" "$tmp/nan"
sed -i '2s/.*/1,2,nan,4/' "$tmp/nan/paramater/matrixL1G2-ex0.txt"
if "$eval" --fasta "$data/transcripts.fa.gz" --cds "$data/cds.tsv.gz" --model "$tmp/nan" --subset 4 \
    >/dev/null 2>"$tmp/err"; then
    fail "ran with a model holding nan"
fi
grep -qx "talvo-eval: $tmp/nan/paramater/matrixL1G2-ex0.txt line 2: value 'nan' is not a finite number" "$tmp/err" ||
    { cat "$tmp/err"; fail "a model holding nan: message"; }
echo "talvo-eval runs the codon model's uses"
