#!/usr/bin/env bash
# End-to-end cases of talvo-scan, one group per call:
#
#   scan_cases.sh GROUP TALVO_SCAN TALVO MAKE_SCAN_READS SOURCE_DIR SYNTHETIC_MODEL [GT]
#
#   bad_input            the table of bad inputs: messages, statuses, outputs
#   threads_and_gzip     1 and 3 threads, plain, gzip (several members) and
#                        standard input give the same bytes in every output
#   outputs              GFF3 passes gt gff3validator (when GT is given),
#                        BED12 blocks are well formed, one protein and one
#                        CDS record per predicted read
#   single_read_program  --strand plus gives, for every read (cut from the
#                        shipped sample and from human mRNAs of data/, with
#                        errors planted), the coding region and errors that
#                        talvo gives for it alone
#   output_paths         a pipe is written as it is, a symbolic link keeps
#                        pointing at the file it names, a run ended by a
#                        signal leaves no temporary file
#   codon                both uses of the codon model on reads of a human
#                        mRNA with one planted insertion or deletion, on
#                        both strands: the error found, mirrored on the
#                        minus strand, its confidence in the table and GFF3
#                        (validated); a missing codon model, an unknown
#                        error setting
#   ends                 reads of a human mRNA whole, cut inside its CDS
#                        at the 5' end and at the 3' end, on both strands,
#                        with the codon model alone: the table's marks,
#                        the GFF3 start and stop codons and UTRs where
#                        the region has them, the partial marks (validated)
#   summary              --stats agrees with the table; the stats of two
#                        halves of the input added up (--merge-stats) are
#                        the whole run's; MultiQC reads the stats file; the
#                        summary page opened in headless chromium loads
#                        without a console message, fetches nothing, and
#                        each chart holds the figures (its screenshot is
#                        written to $TALVO_SCREENSHOT when set)
set -u
group=$1
scan=$(realpath "$2")
talvo=$(realpath "$3")
make_reads=$(realpath "$4")
source_dir=$(realpath "$5")
synthetic=$(realpath "$6")
gt=${7:-}
human=$source_dir/param-human

work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-scan-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failed=0
fail() {
    echo "FAIL [$group]: $*"
    failed=1
}

# expect NAME STATUS STDERR STDOUT_LINES -- ARGS...: runs talvo-scan with ARGS
# and checks its status, its whole standard error (a pattern: * matches
# anything) and the number of lines on standard output.
expect() {
    local name=$1 status=$2 stderr=$3 lines=$4
    shift 5
    "$scan" "$@" > out.txt 2> err.txt
    local got=$?
    [[ $got == "$status" ]] || fail "$name: status $got, expected $status"
    [[ $(cat err.txt) == $stderr ]] || fail "$name: stderr '$(cat err.txt)', expected '$stderr'"
    [[ $(wc -l < out.txt) == "$lines" ]] || fail "$name: $(wc -l < out.txt) lines on stdout, expected $lines"
}

# A read of n bases from the sample.
bases() { grep -v '>' "$source_dir/sample.txt" | tr -d '\n' | cut -c "1-$1"; }

# n reads of each of the first twelve human mRNAs of the training data,
# errors planted, appended to reads.fa.
human_reads() {
    gzip -dc "$source_dir/data/human/transcripts.fa.gz" |
        awk '/^>/ { if (++n > 12) exit; f = sprintf("mrna%02d.fa", n) } { print > f }'
    local mrna
    for mrna in mrna*.fa; do
        "$make_reads" "$mrna" planted.fa "$1" "${mrna//[!0-9]/}" || fail "make_scan_reads $mrna"
        sed "s/^>/>${mrna%.fa}_/" planted.fa >> reads.fa
    done
}

case $group in
bad_input)
    : > empty.fa
    printf '>short\nACGTACGT\n>empty\n\n' > short.fa
    printf '@a\n%s\n+\n%s\n@b\n%s\n+\n%s\n' "$(bases 60)" "$(printf 'I%.0s' {1..60})" \
        "$(bases 40)" "$(printf 'I%.0s' {1..39})" > quality.fq
    printf '>a\n%s\n>b\n%s\n' "$(bases 300)" "$(bases 3000)" | gzip -c > whole.fa.gz
    head -c $(( $(wc -c < whole.fa.gz) - 40 )) whole.fa.gz > truncated.fa.gz
    printf '\x7fELF\x02\x01\x01\x00\x00\x00\x00' > binary.fa
    printf '>ok\n%s\n' "$(bases 100)" > ok.fa

    m=(-d "$synthetic" --use window --quiet)
    expect "version" 0 "" 1 -- --version
    [[ $(cat out.txt) == "talvo-scan "[0-9]*.[0-9]*.[0-9]* ]] || fail "version: $(cat out.txt)"
    "$scan" --help > out.txt 2>&1 || fail "help: status $?"
    grep -q -- '--strand' out.txt && grep -q 'Outputs:' out.txt || fail "help: no grouped options"
    expect "no input" 1 "talvo-scan: inputs is required (see talvo-scan --help)" 0 -- -d "$synthetic"
    expect "empty file" 0 "talvo-scan: warning: empty.fa holds no reads" 2 -- "${m[@]}" empty.fa
    expect "short reads" 0 "" 4 -- "${m[@]}" short.fa
    grep -q $'^short\t8\t.\t-\t-\t0\t-\t-\ttoo_short\t-\t-$' out.txt || fail "short read: no too_short line"
    grep -q $'^empty\t0\t.*too_short\t' out.txt || fail "empty read: no too_short line"
    expect "quality of the wrong length" 1 \
        "talvo-scan: quality.fq: record 2: quality of a different length than the sequence" 3 -- "${m[@]}" quality.fq
    expect "truncated gzip" 1 "talvo-scan: truncated.fa.gz: record 2: truncated gzip stream" 3 -- \
        "${m[@]}" truncated.fa.gz
    expect "binary data" 1 "talvo-scan: binary.fa: record 1: binary data" 2 -- "${m[@]}" binary.fa
    expect "missing file among several" 1 "talvo-scan: cannot open missing.fa: No such file or directory" 0 -- \
        "${m[@]}" ok.fa missing.fa ok.fa
    expect "missing model" 1 "talvo-scan: *no-model*" 0 -- -d "$work/no-model" --quiet ok.fa
    [[ $(wc -l < err.txt) == 1 ]] || fail "missing model: one line on stderr expected"
    # A model with a value nan or a parameter file cut to half its lines is
    # refused before any read, with its file and line (talvo only warns).
    for broken in nan half; do
        rm -rf "$broken-model" && cp -r "$synthetic" "$broken-model"
        file=$broken-model/paramater/paramL1G2-ex0.txt
        if [[ $broken == nan ]]; then
            sed -i '3s/.*/0,1,2,3,0,nan/' "$file"
            problem="line 3: value 'nan' is not a finite number"
        else
            head -n 1892 "$synthetic/paramater/paramL1G2-ex0.txt" > "$file"
            problem="line 1893: the file ends here, after 1892 of its 3785 lines"
        fi
        expect "model with $broken" 1 "talvo-scan: $file $problem" 0 -- -d "$broken-model" --use window --quiet ok.fa
    done
    # Reads that share a name are named apart; GFF3 declares each once.
    cat ok.fa ok.fa > twice.fa
    expect "repeated read names" 0 "talvo-scan: warning: reads share names, the first 'ok' (read 2); each repeat is called NAME_<read number> in the outputs" 4 -- \
        "${m[@]}" twice.fa --gff3 twice.gff3
    [[ $(cut -f1 out.txt | tail -2 | tr '\n' ' ') == "ok ok_2 " ]] || fail "repeated read names: $(cat out.txt)"
    if [[ -n $gt ]]; then
        "$gt" gff3validator twice.gff3 > gt.txt 2>&1 || fail "repeated read names: gff3validator: $(head -3 gt.txt)"
    fi
    expect "output is an input" 1 "talvo-scan: option --bed: 'ok.fa' is an input; choose another output file" 0 -- \
        "${m[@]}" ok.fa --bed ok.fa
    expect "two outputs on standard output" 1 \
        "talvo-scan: option --gff3: standard output is already the output of -o" 0 -- "${m[@]}" ok.fa --gff3 -
    expect "bad thread count" 1 "talvo-scan: --threads: Value 0 not in range 1 to 1024 \\(see talvo-scan --help\\)" 0 -- \
        "${m[@]}" ok.fa -t 0

    # A failed run replaces no output file: after a malformed record (its
    # reads before it went to standard output, above) or a full disk, every
    # file keeps what it held; a run that fails before reading leaves no file.
    echo earlier > table.tsv && echo earlier > models.gff3
    expect "malformed input, files" 1 \
        "talvo-scan: quality.fq: record 2: quality of a different length than the sequence" 0 -- \
        "${m[@]}" quality.fq -o table.tsv --gff3 models.gff3
    expect "full disk" 1 "talvo-scan: cannot write /dev/full: No space left on device" 0 -- \
        "${m[@]}" ok.fa -o table.tsv --gff3 models.gff3 --bed /dev/full
    [[ $(cat table.tsv models.gff3) == $'earlier\nearlier' ]] || fail "failed runs replaced an output file"
    # The file behind standard input is an input too; several outputs may
    # go to /dev/null.
    gzip -c ok.fa > ok.fa.gz
    expect "output is standard input's file" 1 \
        "talvo-scan: option -o: 'ok.fa.gz' is an input (standard input); choose another output file" 0 -- \
        "${m[@]}" - -o ok.fa.gz < ok.fa.gz
    expect "output is /dev/stdin" 1 \
        "talvo-scan: option --bed: '/dev/stdin' is an input (standard input); choose another output file" 0 -- \
        "${m[@]}" - -o /dev/null --bed /dev/stdin < ok.fa.gz
    gzip -dc ok.fa.gz | cmp -s - ok.fa || fail "standard input's file was changed"
    expect "outputs to /dev/null" 0 "" 0 -- "${m[@]}" ok.fa -o /dev/null --gff3 /dev/null --bed /dev/null
    expect "missing file, files" 1 "talvo-scan: cannot open missing.fa: No such file or directory" 0 -- \
        "${m[@]}" ok.fa missing.fa -o never.tsv
    [[ -e never.tsv ]] && fail "missing file: never.tsv was written"
    ls ./*.tmp* >/dev/null 2>&1 && fail "temporary files left: $(ls ./*.tmp*)"

    # The summary line without --quiet.
    "$scan" -d "$synthetic" --use window short.fa ok.fa > /dev/null 2> err.txt
    grep -Eq '^talvo-scan: 3 reads: 0 with a coding region \(0 plus, 0 minus\), 1 without, 2 too short; 0 errors called \(0 plus, 0 minus\); wall [0-9.]+ s, CPU [0-9.]+ s, peak memory [0-9]+ MB$' err.txt \
        || fail "summary line: $(cat err.txt)"
    ;;

threads_and_gzip)
    "$make_reads" "$source_dir/sample.txt" reads.fa 150 3 || fail "make_scan_reads"
    all() { echo -o "$1.tsv" --gff3 "$1.gff3" --bed "$1.bed" --protein "$1.faa" --cds "$1.fna"; }
    "$scan" -d "$human" --quiet -t 1 reads.fa $(all one) || fail "1 thread"
    "$scan" -d "$human" --quiet -t 3 reads.fa $(all three) || fail "3 threads"
    # Two gzip members, as block-compressed files hold them, cut at a record.
    split_at=$(grep -n '>' reads.fa | sed -n '80p' | cut -d: -f1)
    head -n $((split_at - 1)) reads.fa | gzip -c > reads.fa.gz
    tail -n +"$split_at" reads.fa | gzip -c >> reads.fa.gz
    "$scan" -d "$human" --quiet -t 2 reads.fa.gz $(all gzip) || fail "gzip"
    gzip -dc reads.fa.gz | "$scan" -d "$human" --quiet -t 2 - $(all stdin) || fail "standard input"
    for ext in tsv gff3 bed faa fna; do
        for run in three gzip stdin; do
            cmp -s "one.$ext" "$run.$ext" || fail "$run.$ext differs from one.$ext"
        done
    done
    [[ $(grep -c $'\tcds\t' one.tsv) -ge 100 ]] || fail "too few reads with a coding region: $(grep -c $'\tcds\t' one.tsv)"
    ;;

outputs)
    "$make_reads" "$source_dir/sample.txt" reads.fa 60 7 || fail "make_scan_reads"
    "$scan" -d "$human" --quiet reads.fa -o t.tsv --gff3 m.gff3 --bed m.bed --protein p.faa --cds c.fna \
        --corrected r.fa || fail "run"
    predicted=$(grep -c $'\tcds\t' t.tsv)
    minus=$(awk -F'\t' '$3 == "-"' t.tsv | wc -l)
    with_errors=$(awk -F'\t' '$9 == "cds" && $6 > 0' t.tsv | wc -l)
    [[ $minus -ge 10 && $with_errors -ge 20 && $predicted -gt $minus ]] \
        || fail "reads not varied enough: $predicted predicted, $minus minus, $with_errors with errors"
    if [[ -n $gt ]]; then
        "$gt" gff3validator m.gff3 > gt.txt 2>&1 || fail "gff3validator: $(head -3 gt.txt)"
    else
        echo "gt not found: GFF3 not validated"
    fi
    [[ $(grep -vc '^#' m.bed) == "$predicted" ]] || fail "BED lines differ from predicted reads"
    [[ $(grep -c '>' p.faa) == "$predicted" && $(grep -c '>' c.fna) == "$predicted" ]] \
        || fail "protein or CDS records differ from predicted reads"
    # BED12: blocks ascending, inside the line, the first at 0, the last
    # ending at chromEnd, thick part = the whole line.
    awk -F'\t' '!/^#/ {
        n = split($11, size, ","); split($12, start, ",");
        bad = ($10 != n - 1) || start[1] != 0 || $7 != $2 || $8 != $3 ||
              $2 + start[n - 1] + size[n - 1] != $3;
        for (i = 2; i < n; ++i) if (start[i] < start[i - 1] + size[i - 1]) bad = 1;
        if (bad) { print "bad BED12 line: " $0; exit 1 } }' m.bed || fail "BED12"
    # Every read corrected; each CDS record is its read's corrected region
    # (every error lies inside the region), reverse-complemented on the
    # minus strand.
    python3 - t.tsv r.fa c.fna reads.fa <<'END' || fail "corrected reads"
import sys
def fasta(path):
    records, name = {}, None
    for line in open(path):
        if line.startswith(">"):
            name = line[1:].split()[0]
            records[name] = ""
        else:
            records[name] += line.strip()
    return records
table = [l.rstrip("\n").split("\t") for l in open(sys.argv[1]) if not l.startswith(("#", "read\t"))]
corrected, cds, reads = fasta(sys.argv[2]), fasta(sys.argv[3]), fasta(sys.argv[4])
assert list(corrected) == [row[0] for row in table], "not one corrected record per read, in order"
for row in table:
    calls = row[6].split(",") if row[6] != "-" else []
    undone = "".join(("N" if f"D{i}" in calls else "") + ("" if f"I{i}" in calls else b if b in "ACGT" else "N")
                     for i, b in enumerate(reads[row[0]].upper().replace("U", "T"), 1))
    assert corrected[row[0]] == undone, row
    if row[8] != "cds":
        continue
    first, last = int(row[3]), int(row[4])
    length = last - first + 1 + sum(1 if c[0] == "D" else -1 for c in calls)
    region = corrected[row[0]][first - 1:first - 1 + length]
    if row[2] == "-":
        region = region[::-1].translate(str.maketrans("ACGTN", "TGCAN"))
    assert region == cds[row[0]], row
END
    # Each protein is the translation of its CDS record (checked on the
    # first codons) and the CDS length is about a third of the protein's.
    paste <(grep -v '>' p.faa | tr -d '\n' | wc -c) <(grep -v '>' c.fna | tr -d '\n' | wc -c) |
        awk '{ if ($2 < 3 * $1 || $2 > 3 * $1 + 2 * '"$predicted"') exit 1 }' || fail "CDS and protein lengths"
    ;;

single_read_program)
    "$make_reads" "$source_dir/sample.txt" reads.fa 60 5 || fail "make_scan_reads"
    # And reads of twelve human mRNAs of the training data, errors planted.
    human_reads 3
    "$scan" -d "$human" --use window --quiet --strand plus reads.fa > t.tsv || fail "run"
    awk -F'\t' 'NR > 2 { print $1, ($9 == "cds" ? $4 " " $5 " " $7 : "none") }' t.tsv > scan.txt
    : > single.txt
    awk '/^>/ { if (f) close(f); f = sprintf("single%04d.fa", ++n) } { print > f }' reads.fa
    for file in single*.fa; do
        id=$(head -1 "$file" | cut -c2-)
        length=$(grep -v '>' "$file" | tr -d '\n' | wc -c)
        "$talvo" -i "$file" -d "$human" 2>/dev/null | awk -v id="$id" -v len="$length" '
            /^START:/ { start = $2; stop = $4 }
            /^INSERTION_ERR:/ { split($2, a, "@"); errors = errors (errors ? "," : "") "I" a[2]; lastI = a[2] }
            /^DELETION_ERR:/ { errors = errors (errors ? "," : "") "D" $2; lastI = 0 }
            END {
                if (start == 0 && stop == 0) { print id, "none"; exit }
                if (stop > len) stop = len   # a last codon past the end ends at the last base
                if (lastI == stop) {         # an extra base on the stop base lies outside the region
                    sub(/,?I[0-9]+$/, "", errors)
                    stop = stop - 1
                }
                print id, start, stop, (errors ? errors : "-") }' >> single.txt
    done
    diff single.txt scan.txt > diff.txt || fail "talvo-scan --strand plus differs from talvo: $(head -5 diff.txt)"
    [[ $(grep -vc none scan.txt) -ge 70 ]] || fail "too few reads with a coding region"
    ;;
output_paths)
    printf '>ok\n%s\n' "$(bases 100)" > ok.fa
    mkfifo table.fifo
    timeout 60 cat table.fifo > from-fifo.tsv &
    "$scan" -d "$synthetic" --use window --quiet ok.fa -o table.fifo || fail "pipe: status $?"
    wait
    [[ -p table.fifo ]] || fail "pipe: replaced by a file"
    [[ $(grep -c $'^ok\t100\t' from-fifo.tsv) == 1 ]] || fail "pipe: table not written through it"
    echo earlier > real.tsv
    ln -s real.tsv link.tsv
    "$scan" -d "$synthetic" --use window --quiet ok.fa -o link.tsv || fail "symbolic link: status $?"
    [[ -L link.tsv ]] || fail "symbolic link: replaced by a file"
    [[ $(grep -c $'^ok\t100\t' real.tsv) == 1 ]] || fail "symbolic link: its file not written"
    # Ended by a signal while it waits for input: no temporary file stays
    # behind.
    sleep 30 | "$scan" -d "$synthetic" --use window --quiet -t 1 - -o stopped.tsv --gff3 stopped.gff3 &
    scan_pid=$!
    sleep 1
    kill -TERM $scan_pid
    wait $scan_pid
    [[ $? == 143 ]] || fail "signal: not ended by SIGTERM"
    ls ./*.tmp* >/dev/null 2>&1 && fail "temporary files left: $(ls ./*.tmp*)"
    [[ -e stopped.tsv || -e stopped.gff3 ]] && fail "signal: output files written"
    ;;
codon)
    # An mRNA of the training data (CDS 99..1118 of 1336 bases) with one
    # extra base (551 on the plus strand) or one missing base (before 851),
    # the same reads reverse-complemented next; the ID names the error as
    # the table gives it.
    gzip -dc "$source_dir/data/human/transcripts.fa.gz" |
        awk '/^>/ { keep = $1 == ">ENST00000375337"; next } keep { printf "%s", $0 }' > mrna.txt
    [[ $(wc -c < mrna.txt) == 1336 ]] || fail "mRNA ENST00000375337 not found"
    awk '
        function rc(s,   r, i) {
            r = ""
            for (i = length(s); i > 0; --i) r = r substr("TGCA", index("ACGT", substr(s, i, 1)), 1)
            return r
        }
        {
            ins = substr($0, 1, 550) "G" substr($0, 551)
            del = substr($0, 1, 850) substr($0, 852)
            print ">plus_I551\n" ins "\n>plus_D851\n" del
            print ">minus_I787\n" rc(ins) "\n>minus_D486\n" rc(del)
        }' mrna.txt > planted.fa
    for use in refine long-read gene; do
        "$scan" -d "$human" --quiet --use "$use" planted.fa -o "$use.tsv" --gff3 "$use.gff3" --protein "$use.faa" \
            || fail "$use: status $?"
        [[ $(sed -n 2p "$use.tsv") == *$'\tstatus\terror_confidence'* ]] || fail "$use: no confidence column"
        # Each read: its strand, and the planted error with a confidence of
        # two decimals among the errors called within 10 bases of it.
        awk -F'\t' -v use="$use" '
            NR > 2 {
                split($1, id, "_"); kind = substr(id[2], 1, 1); at = substr(id[2], 2)
                n = split($7, errors, ","); m = split($10, confidence, ",")
                found = 0
                for (i = 1; i <= n; ++i) {
                    pos = substr(errors[i], 2)
                    if (substr(errors[i], 1, 1) == kind && pos - at <= 10 && at - pos <= 10) found = 1
                }
                good = $9 == "cds" && $3 == (id[1] == "plus" ? "+" : "-") && found && m == $6
                for (i = 1; i <= m; ++i) if (confidence[i] !~ /^[01]\.[0-9][0-9]$/) good = 0
                if (!good) { print use ": " $0; bad = 1 }
                # A read on the minus strand: its calls mirrored are those of
                # the same read on the plus strand, two lines before.
                if (id[1] == "minus") {
                    mirrored = ""; reversed = ""
                    for (i = n; i >= 1; --i) {
                        pos = substr(errors[i], 2)
                        kind = substr(errors[i], 1, 1)
                        mirrored = mirrored (i < n ? "," : "") kind ($2 + (kind == "I" ? 1 : 2) - pos)
                        reversed = reversed (i < n ? "," : "") confidence[i]
                    }
                    if (mirrored != list[NR - 2] || reversed != confidences[NR - 2]) {
                        print use ": " $0 " does not mirror " list[NR - 2]; bad = 1
                    }
                }
                list[NR] = $7; confidences[NR] = $10
            }
            END { exit bad }' "$use.tsv" || fail "$use: planted errors not found as expected"
        grep -Eq $'\tmRNA\t.*;sequencing_errors=[ID][0-9]+.*;error_confidence=[01]\\.[0-9]{2}' "$use.gff3" \
            || fail "$use: no error confidence in the GFF3"
        if [[ -n $gt ]]; then
            "$gt" gff3validator "$use.gff3" > gt.txt 2>&1 || fail "$use: gff3validator: $(head -3 gt.txt)"
        fi
    done

    # The codon model's file or setting missing: one line naming the file,
    # before any output.
    mkdir no-codon
    cp -r "$human"/. no-codon/
    rm -f no-codon/codon-model
    for use in refine long-read gene; do
        expect "$use without a codon model" 1 "talvo-scan: *no-codon/codon-model*" 0 -- \
            -d no-codon --quiet --use "$use" planted.fa --gff3 never.gff3
        [[ $(wc -l < err.txt) == 1 && ! -e never.gff3 ]] || fail "$use without a codon model: $(cat err.txt)"
    done
    cp "$human"/codon-model no-codon/
    rm -f no-codon/gene-model
    expect "gene model missing" 1 "talvo-scan: cannot open no-codon/gene-model: No such file or directory" 0 -- \
        -d no-codon --quiet planted.fa --gff3 never.gff3
    expect "unknown error setting" 1 "talvo-scan: $human/codon-model: no error setting 'pacbio' (it holds *)" 0 -- \
        -d "$human" --quiet --codon refine --error-setting pacbio planted.fa
    expect "error setting of the window model" 1 \
        "talvo-scan: --error-setting: the window model has no error setting (see talvo-scan --help)" 0 -- \
        -d "$human" --quiet --use window --error-setting est planted.fa
    expect "gene model's option with another use" 1 \
        "talvo-scan: --inside-cds and --min-confidence are the gene model's (--use gene) (see talvo-scan --help)" 0 -- \
        -d "$human" --quiet --use refine --min-confidence 0.5 planted.fa
    # Regions below the confidence asked for: listed as such, left out of
    # the GFF3 and the proteins.
    "$scan" -d "$human" --quiet --min-confidence 0.999 planted.fa -o low.tsv --gff3 low.gff3 --protein low.faa \
        || fail "min-confidence: status $?"
    kept=$(grep -c $'\tcds\t' low.tsv)
    [[ $(grep -c $'\tlow_confidence\t' low.tsv) -ge 1 && $(grep -c $'\tgene\t' low.gff3) == "$kept" &&
        $(grep -c '>' low.faa) == "$kept" ]] || fail "min-confidence: $(cat low.tsv)"
    ;;
ends)
    # ENST00000375337: CDS 99..1118 of 1336 bases; cut at 400 (a read that
    # begins inside the CDS) and at 800 (one that ends inside it).
    gzip -dc "$source_dir/data/human/transcripts.fa.gz" |
        awk '/^>/ { keep = $1 == ">ENST00000375337"; next } keep { printf "%s", $0 }' > mrna.txt
    awk '
        function rc(s,   r, i) {
            r = ""
            for (i = length(s); i > 0; --i) r = r substr("TGCA", index("ACGT", substr(s, i, 1)), 1)
            return r
        }
        {
            whole = $0; cut5 = substr($0, 400); cut3 = substr($0, 1, 800)
            print ">plus_complete\n" whole "\n>plus_5partial\n" cut5 "\n>plus_3partial\n" cut3
            print ">minus_complete\n" rc(whole) "\n>minus_5partial\n" rc(cut5) "\n>minus_3partial\n" rc(cut3)
        }' mrna.txt > ends.fa
    "$scan" -d "$human" --quiet --codon long-read ends.fa -o t.tsv --gff3 m.gff3 || fail "run"
    # The table's marks and, per read, the features in the GFF3: type,
    # first, last, strand (the UTRs and codons of the whole mRNA and its
    # cuts, mirrored on the minus strand).
    awk -F'\t' 'NR > 2 { print $1, $3, $4, $5, $(NF - 1), $NF }' t.tsv > marks.txt
    diff marks.txt - > diff.txt <<'END' || fail "table marks: $(cat diff.txt)"
plus_complete + 99 1118 complete complete
plus_5partial + 1 719 partial complete
plus_3partial + 99 800 complete partial
minus_complete - 219 1238 complete complete
minus_5partial - 219 937 partial complete
minus_3partial - 1 702 complete partial
END
    awk -F'\t' '!/^#/ && $3 != "CDS" { print $1, $3, $4, $5, $7 }' m.gff3 > features.txt
    diff features.txt - > diff.txt <<'END' || fail "GFF3 features: $(cat diff.txt)"
plus_complete gene 1 1336 +
plus_complete mRNA 1 1336 +
plus_complete five_prime_UTR 1 98 +
plus_complete start_codon 99 101 +
plus_complete stop_codon 1116 1118 +
plus_complete three_prime_UTR 1119 1336 +
plus_5partial gene 1 937 +
plus_5partial mRNA 1 937 +
plus_5partial stop_codon 717 719 +
plus_5partial three_prime_UTR 720 937 +
plus_3partial gene 1 800 +
plus_3partial mRNA 1 800 +
plus_3partial five_prime_UTR 1 98 +
plus_3partial start_codon 99 101 +
minus_complete gene 1 1336 -
minus_complete mRNA 1 1336 -
minus_complete three_prime_UTR 1 218 -
minus_complete stop_codon 219 221 -
minus_complete start_codon 1236 1238 -
minus_complete five_prime_UTR 1239 1336 -
minus_5partial gene 1 937 -
minus_5partial mRNA 1 937 -
minus_5partial three_prime_UTR 1 218 -
minus_5partial stop_codon 219 221 -
minus_3partial gene 1 800 -
minus_3partial mRNA 1 800 -
minus_3partial start_codon 700 702 -
minus_3partial five_prime_UTR 703 800 -
END
    [[ $(grep -c $'\tmRNA\t.*;five_prime_partial=true' m.gff3) == 2 &&
       $(grep -c $'\tmRNA\t.*;three_prime_partial=true' m.gff3) == 2 ]] || fail "GFF3 partial marks"
    if [[ -n $gt ]]; then
        "$gt" gff3validator m.gff3 > gt.txt 2>&1 || fail "gff3validator: $(head -3 gt.txt)"
    fi
    ;;
summary)
    for tool in chromium multiqc python3; do
        command -v "$tool" > /dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
    done
    check() { python3 "$source_dir/tests/scan/check_summary.py" "$@" > check.txt || fail "$1: $(head -5 check.txt)"; }
    # Reads of twelve human mRNAs with errors planted, on both strands, a
    # read without a coding region and one too short.
    human_reads 10
    printf '>polyA\n%s\n>short\nACGTACGT\n' "$(printf 'A%.0s' {1..300})" >> reads.fa
    # The gene model, with regions below a confidence left out (skipped).
    "$scan" -d "$human" --quiet --min-confidence 0.1 -t 2 reads.fa -o t.tsv --stats s_mqc.json --summary s.html \
        || fail "run"
    grep -q $'\tlow_confidence\t' t.tsv || fail "no region below the confidence asked for"
    check table t.tsv s_mqc.json
    grep -Eq 'src=|href=|url\(|@import' s.html && fail "the page refers to something outside it"

    # Two halves, run apart and added up, give the whole run's figures.
    half=$(grep -n '>' reads.fa | sed -n '62p' | cut -d: -f1)
    head -n $((half - 1)) reads.fa > part1.fa
    tail -n +"$half" reads.fa > part2.fa
    "$scan" -d "$human" --quiet --min-confidence 0.1 part1.fa --stats p1.json --sample reads -o /dev/null \
        || fail "part 1"
    "$scan" -d "$human" --quiet --min-confidence 0.1 part2.fa --stats p2.json --sample reads -o /dev/null \
        --first-read 62 || fail "part 2"
    "$scan" --merge-stats p1.json p2.json --stats merged.json --summary merged.html || fail "merge"
    check same merged.json s_mqc.json
    "$scan" -d "$human" --use window --quiet part1.fa --stats window.json -o /dev/null || fail "window model run"
    expect "merging other settings" 1 "talvo-scan: window.json: made with other settings *" 0 -- \
        --merge-stats p1.json window.json --stats never.json
    "$scan" -d "$human" --quiet --min-confidence 0.5 part2.fa --stats other.json -o /dev/null || fail "threshold run"
    expect "merging another threshold" 1 "talvo-scan: other.json: made with other settings (*min-confidence 0.5) *" 0 -- \
        --merge-stats p1.json other.json --stats never.json
    expect "merging a table" 1 "talvo-scan: t.tsv: not JSON *" 0 -- --merge-stats t.tsv --summary never.html
    [[ -e never.json || -e never.html ]] && fail "a failed merge wrote its output"

    # MultiQC finds the stats file as custom content and tables its row.
    mkdir mq && cp s_mqc.json mq/
    multiqc -q -f mq -o mq-out > multiqc.log 2>&1 || fail "multiqc: $(tail -3 multiqc.log)"
    check multiqc mq-out/multiqc_data/multiqc_talvo_scan_table.txt s_mqc.json

    # The page in a browser: no console message, every chart holds its figures.
    browser=(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
             --disable-background-networking --disable-component-update --disable-sync
             --user-data-dir="$work/profile" --hide-scrollbars)
    timeout 120 "${browser[@]}" --enable-logging=stderr --v=0 --dump-dom "file://$work/s.html" \
        > dom.html 2> browser.log || fail "chromium: $(tail -3 browser.log)"
    grep -q 'CONSOLE' browser.log && fail "console messages: $(grep CONSOLE browser.log | head -3)"
    check page dom.html s_mqc.json
    if [[ -n ${TALVO_SCREENSHOT:-} ]]; then
        timeout 120 "${browser[@]}" --window-size=1400,2560 --screenshot="$TALVO_SCREENSHOT" "file://$work/s.html" \
            > /dev/null 2>&1 || fail "screenshot"
    fi
    ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac

[[ $failed == 0 ]] && echo "PASS [$group]"
exit $failed
