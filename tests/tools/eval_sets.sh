#!/bin/sh
# talvo-eval over two pooled sets: --test-set scores only the held-out
# sequences of that set, --train-set trains the folds on that set only,
# --fold runs one fold alone, and a set number beyond the pairs given is an
# error.
set -eu
eval=$1
root=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
sets="--fasta $root/data/human/transcripts.fa.gz --cds $root/data/human/cds.tsv.gz
      --fasta $root/data/human-refseq/transcripts.fa.gz --cds $root/data/human-refseq/cds.tsv.gz"
common="--folds 2 --subset 300 --threads 1 --rounds 5 --windows 200"
# shellcheck disable=SC2086
"$eval" $sets $common >"$tmp/all.txt" 2>"$tmp/all.log" || { cat "$tmp/all.log"; fail "pooled run"; }
# shellcheck disable=SC2086
"$eval" $sets $common --train-set 2 --test-set 1 >"$tmp/one.txt" 2>"$tmp/one.log" || {
    cat "$tmp/one.log"
    fail "run on set 1"
}
cat "$tmp/one.log"
total() { sed -n "s/.*$1 \([0-9]*\)[ ,].*/\1/p" "$2" | awk '{s += $1} END {print s}'; }
[ "$(total testing "$tmp/all.log")" -eq 300 ] || fail "the pooled folds do not test all 300 sequences"
# The same subset in both runs (the seed draws it); set 1 holds part of it.
tested=$(total testing "$tmp/one.log")
[ "$tested" -gt 0 ] && [ "$tested" -lt 300 ] || fail "set 1 alone tested $tested sequences"
grep -Eq "^sequences +$tested$" "$tmp/one.txt" || fail "the figures are not those of the $tested sequences of set 1"
trained=$(total "training on" "$tmp/one.log")
[ "$trained" -eq $((300 - tested)) ] || fail "the folds trained on $trained sequences, not the other set's $((300 - tested))"
# --fold 2 trains and tests the second fold alone: the sequences the pooled run tested in it.
# shellcheck disable=SC2086
"$eval" $sets $common --fold 2 >/dev/null 2>"$tmp/fold.log" || { cat "$tmp/fold.log"; fail "run on fold 2"; }
[ "$(grep -c "fold [0-9]/2" "$tmp/fold.log")" -eq 1 ] || fail "--fold 2 ran another fold"
[ "$(grep "fold 2/2" "$tmp/all.log")" = "$(grep "fold 2/2" "$tmp/fold.log")" ] || fail "fold 2 is not the pooled run's"
# shellcheck disable=SC2086
if "$eval" $sets $common --test-set 3 >/dev/null 2>"$tmp/err"; then fail "ran with set 3 of 2"; fi
grep -q "^talvo-eval: .*there is no set 3" "$tmp/err" || { cat "$tmp/err"; fail "no message naming set 3"; }
echo "talvo-eval trains and tests on the sets asked for"
