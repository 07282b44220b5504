#!/usr/bin/env bash
# End-to-end cases of the Snakemake workflow (workflow/Snakefile), one per call:
#
#   workflow_cases.sh CASE TALVO_SCAN MAKE_SCAN_READS SOURCE_DIR
#
#   merge    inputs of both formats (plain FASTA, gzip FASTQ, an empty one),
#            cut into several shards on two cores: every merged output is
#            byte for byte what one talvo-scan run over the input writes,
#            and the stats added up from the shards hold its figures
#   resume   a run killed once shards have finished resumes without redoing
#            them, and its outputs are the same bytes
#   failure  a failing shard stops the run naming the shard; nothing merged
#
# Skipped (status 77) when snakemake or seqkit is not installed.
set -u
case_name=$1
scan=$(realpath "$2")
make_reads=$(realpath "$3")
source_dir=$(realpath "$4")
model=$source_dir/param-human
outputs=(tsv gff3 bed protein.fa cds.fa corrected.fa)

for tool in snakemake seqkit; do
    if ! command -v "$tool" > /dev/null; then
        echo "SKIPPED: $tool is not installed (Debian package $tool)"
        exit 77
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-workflow.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() {
    echo "FAIL: $*"
    exit 1
}

# reads.fa: planted reads from the shipped sample; other.fq.gz the same
# kind as gzip FASTQ; few.fa fewer reads than a shard; empty.fa nothing.
make_inputs() {
    "$make_reads" "$source_dir/sample.txt" reads.fa "$1" 11 || fail "make_scan_reads"
    "$make_reads" "$source_dir/sample.txt" other.fa "$1" 12 || fail "make_scan_reads"
    awk '/^>/ { if (seq != "") print seq; print "@" substr($0, 2); seq = ""; next }
         { seq = seq $0 }
         END { if (seq != "") print seq }' other.fa |
        awk 'NR % 2 == 1 { print; next } { q = $0; gsub(/./, "I", q); print; print "+"; print q }' |
        gzip > other.fq.gz || fail "FASTQ input"
    rm other.fa
    "$make_reads" "$source_dir/sample.txt" few.fa 2 13 || fail "make_scan_reads"
    : > empty.fa
}

write_config() {  # shard_reads threads model inputs... ($use: the use, if any)
    local shard=$1 threads=$2 dir=$3
    shift 3
    {
        echo "inputs: [$(IFS=,; echo "$*")]"
        echo "model: $dir"
        echo "talvo_scan: $scan"
        echo "shard_reads: $shard"
        echo "threads: $threads"
        echo "strand: both"
        echo "use: \"${use:-}\""
        echo "outputs: [table, gff3, bed, protein, cds, corrected, stats, summary]"
    } > config.yaml
}

run_workflow() {  # log, further snakemake options...
    local log=$1
    shift
    snakemake -s "$source_dir/workflow/Snakefile" --configfile config.yaml --cores 2 "$@" > "$log" 2>&1
}

# Every merged output equals a single run's over the same input.
compare_with_single_runs() {
    local input name
    for input in "$@"; do
        name=${input%%.*}
        "$scan" -d "$model" --strand both ${use:+--use "$use"} -t 2 --quiet -o "single.tsv" --gff3 single.gff3 --bed single.bed \
            --protein single.protein.fa --cds single.cds.fa --corrected single.corrected.fa --stats single.json "$input" 2> /dev/null ||
            fail "talvo-scan on $input"
        for output in "${outputs[@]}"; do
            cmp "results/$name.$output" "single.$output" || fail "$name.$output differs from a single run"
        done
        python3 "$source_dir/tests/scan/check_summary.py" same "results/$name.stats_mqc.json" single.json ||
            fail "$name.stats_mqc.json: other figures than a single run's"
        grep -q "<h1>talvo-scan summary: $name</h1>" "results/$name.summary.html" || fail "$name.summary.html"
    done
    grep -cP '\tcds(\t|$)' results/reads.tsv > /dev/null || fail "no read predicted"
}

case $case_name in
merge)
    make_inputs 24
    write_config 5 1 "$model" reads.fa other.fq.gz few.fa empty.fa
    run_workflow run.log || { cat run.log; fail "workflow"; }
    [ "$(ls talvo-work/reads/scan | wc -l)" = 5 ] || fail "reads.fa not cut into 5 shards"
    compare_with_single_runs reads.fa other.fq.gz few.fa empty.fa
    grep -q '^# .*gene model' results/reads.tsv || fail "the gene model was not the default"
    # The same with the window model alone and with the codon model alone.
    for use in window long-read; do
        rm -rf results talvo-work
        write_config 5 1 "$model" reads.fa few.fa
        run_workflow "$use.log" || { cat "$use.log"; fail "workflow with --use $use"; }
        compare_with_single_runs reads.fa few.fa
    done
    grep -q '^# .*codon long-read' results/reads.tsv || fail "the codon model was not used"
    ;;
resume)
    make_inputs 16
    write_config 2 1 "$model" reads.fa other.fq.gz
    setsid snakemake -s "$source_dir/workflow/Snakefile" --configfile config.yaml --cores 2 > first.log 2>&1 &
    runner=$!
    # Killed, with everything it started, once two shards have finished.
    for _ in $(seq 600); do
        [ "$(ls -d talvo-work/*/scan/[0-9]* 2> /dev/null | grep -cv '\.tmp$')" -ge 2 ] && break
        kill -0 "$runner" 2> /dev/null || { cat first.log; fail "the workflow ended early"; }
        sleep 0.2
    done
    kill -KILL -- "-$runner" 2> /dev/null
    wait "$runner" 2> /dev/null
    finished=$(ls -d talvo-work/*/scan/[0-9]* 2> /dev/null | grep -v '\.tmp$')
    [ "$(echo "$finished" | wc -l)" -ge 2 ] || fail "no shard finished before the kill"
    [ ! -e results/reads.tsv ] || fail "the run ended before it was killed"
    stamps=$(stat -c '%n %i %Y' $finished)
    run_workflow unlock.log --unlock || fail "unlock"
    run_workflow second.log --rerun-incomplete || { cat second.log; fail "resumed workflow"; }
    # At most one finished shard may be redone: the one whose completion
    # the killed run had no time to record.
    kept=$(echo "$stamps" | while read -r dir inode mtime; do
        [ "$(stat -c '%n %i %Y' "$dir")" = "$dir $inode $mtime" ] && echo "$dir"
    done | wc -l)
    [ "$kept" -ge 1 ] || fail "the finished shards were redone"
    total=$(ls -d talvo-work/*/scan/[0-9]* | grep -cv '\.tmp$')
    rerun=$(grep -c '^rule scan:' second.log)
    [ "$rerun" -lt "$total" ] || fail "the resumed run redid all $total shards"
    compare_with_single_runs reads.fa other.fq.gz
    echo "resume: $kept finished shards kept, $rerun of $total run after the kill"
    ;;
failure)
    make_inputs 6
    write_config 3 1 "$work/no-such-model" reads.fa
    ! run_workflow run.log || fail "a failing shard did not fail the workflow"
    grep -q 'talvo-scan failed on shard [0-9]* of reads' run.log || { cat run.log; fail "the shard is not named"; }
    [ -z "$(ls results 2> /dev/null)" ] || fail "something was merged: $(ls results)"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
