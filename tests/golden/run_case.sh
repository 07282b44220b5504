#!/usr/bin/env bash
# Runs one end-to-end golden case and compares everything it produced.
#
#   run_case.sh BINARY CASE_DIR MODEL_DIR [a|b]
#
# A case directory holds:
#   args             the command line, one argument per line; the placeholders
#                    @MODEL@ (the synthetic model directory) and @OUT@ (an
#                    empty scratch output directory) are replaced
#   setup            optional bash script run in the scratch directory before
#                    the program, with MODEL set; it builds inputs that are
#                    too big or too odd to store (a long sequence, a
#                    directory, an edited copy of the model)
#   expected.stdout, expected.stderr, expected.status
#   expected.files/NAME   every file the run writes, NAME relative to the
#                    scratch directory (e.g. out/page.html)
#   any other file   an input, copied into the scratch directory
#
# The program runs in a fresh scratch directory. Its standard output and
# error, with the scratch and model paths written back as @SCRATCH@ and
# @MODEL@, its exit status and every file in the scratch directory are
# compared byte for byte: a written file must match its expected file, and
# any other file must be an unchanged input.
#
# Variant B (the last argument, or a binary whose name ends in -b) prints
# no "DP SCORE: " lines: its expectation is variant A's with those lines
# dropped, unless the case holds expected-b.stdout, expected-b.stderr,
# expected-b.status or expected-b.files/NAME.
#
# The program is stopped after TALVO_GOLDEN_TIMEOUT seconds (default 600:
# the ten-megabase case takes about 100 s in a sanitizer build).
#
# TALVO_GOLDEN_UPDATE=1 writes each differing (or missing) expectation as a
# .new file beside the expected one (expected-b.*.new for a variant-B
# difference) and shows the diff; it never overwrites an expected file.
# Review the .new files and rename them to accept them.
set -u

if [[ $# -lt 3 || $# -gt 4 ]]; then
    echo "usage: run_case.sh BINARY CASE_DIR MODEL_DIR [a|b]" >&2
    exit 2
fi
binary=$(realpath "$1")
case_dir=$(realpath "$2")
model=$(realpath "$3")
variant=${4:-}
if [[ -z $variant ]]; then
    [[ $(basename "$binary") == *-b ]] && variant=b || variant=a
fi
update=${TALVO_GOLDEN_UPDATE:-0}
case_name=$(basename "$case_dir")

scratch=$(mktemp -d "${TMPDIR:-/tmp}/talvo-golden.XXXXXX")
work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-golden-work.XXXXXX")
trap 'chmod -R u+rwX "$scratch" "$work" 2>/dev/null; rm -rf "$scratch" "$work"' EXIT

failed=0
fail() {
    echo "FAIL [$case_name, variant $variant]: $*"
    failed=1
}

# The expectation for variant B: an explicit expected-b file, or variant
# A's with the "DP SCORE: " lines dropped.
expected_for() {  # NAME (e.g. stdout, files/out/page.html) -> path of the expectation, or nothing
    local name=$1
    if [[ $variant == b ]]; then
        if [[ -e $case_dir/expected-b.$name ]]; then
            echo "$case_dir/expected-b.$name"
            return
        fi
        if [[ -e $case_dir/expected.$name ]]; then
            local derived="$work/derived.${name//\//_}"
            grep -av '^DP SCORE: ' "$case_dir/expected.$name" > "$derived"
            echo "$derived"
        fi
        return
    fi
    [[ -e $case_dir/expected.$name ]] && echo "$case_dir/expected.$name"
}

# The .new file written by the update switch for an expectation NAME.
new_file_for() {
    local name=$1
    if [[ $variant == b && ! -e $case_dir/expected-b.$name ]] && [[ -e $case_dir/expected.$name ]]; then
        echo "$case_dir/expected-b.$name.new"  # A's expectation holds; B differs from it
    elif [[ $variant == b && -e $case_dir/expected-b.$name ]]; then
        echo "$case_dir/expected-b.$name.new"
    else
        echo "$case_dir/expected.$name.new"
    fi
}

compare() {  # NAME ACTUAL_FILE
    local name=$1 actual=$2 expected
    expected=$(expected_for "$name")
    if [[ -n $expected ]] && cmp -s "$expected" "$actual"; then
        return 0
    fi
    if [[ -z $expected ]]; then
        fail "no expectation for $name"
        expected=/dev/null
    else
        fail "$name differs"
    fi
    diff -au --label "expected $name" --label "actual $name" "$expected" "$actual" | head -n 60
    if [[ $update == 1 ]]; then
        local new
        new=$(new_file_for "$name")
        mkdir -p "$(dirname "$new")"
        cp "$actual" "$new"
        echo "  wrote $new"
    fi
}

# Scratch directory: the case's inputs, an empty output directory, setup.
shopt -s dotglob nullglob
for item in "$case_dir"/*; do
    base=$(basename "$item")
    case $base in
        args | setup | expected.* | expected-b.* | *.new) ;;
        *) cp -R "$item" "$scratch/" ;;
    esac
done
mkdir "$scratch/out"
if [[ -f $case_dir/setup ]]; then
    if ! (cd "$scratch" && MODEL=$model bash "$case_dir/setup"); then
        fail "setup failed"
        exit 1
    fi
fi

# A fingerprint (checksum and size) of every file, by name.
fingerprint() {  # ARRAY_NAME
    local -n prints=$1
    local f
    while IFS= read -r -d '' f; do
        prints[$f]=$(cksum < "$scratch/$f")
    done < <(cd "$scratch" && find . -type f -printf '%P\0')
}
declare -A before=() after=()
fingerprint before

args=()
if [[ -f $case_dir/args ]]; then
    while IFS= read -r line || [[ -n $line ]]; do
        line=${line//@MODEL@/$model}
        line=${line//@OUT@/$scratch/out}
        args+=("$line")
    done < "$case_dir/args"
fi

(cd "$scratch" && exec timeout "${TALVO_GOLDEN_TIMEOUT:-600}" "$binary" "${args[@]}" < /dev/null > "$work/stdout.raw" 2> "$work/stderr.raw")
status=$?
if [[ $status == 124 ]]; then
    fail "timed out"
fi

# Paths that differ from machine to machine are written back as placeholders.
normalise() {
    sed -e "s|$scratch/out|@OUT@|g" -e "s|$scratch|@SCRATCH@|g" -e "s|$model|@MODEL@|g" "$1"
}
normalise "$work/stdout.raw" > "$work/stdout"
normalise "$work/stderr.raw" > "$work/stderr"
echo "$status" > "$work/status"

compare stdout "$work/stdout"
compare stderr "$work/stderr"
compare status "$work/status"

# Every expected file written, and no other file added or changed.
declare -A expected_files=()
for dir in "$case_dir/expected.files" "$case_dir/expected-b.files"; do
    [[ -d $dir ]] || continue
    while IFS= read -r f; do expected_files[$f]=1; done < <(cd "$dir" && find . -type f ! -name '*.new' -printf '%P\n')
done
for f in "${!expected_files[@]}"; do
    if [[ -f $scratch/$f ]]; then
        compare "files/$f" "$scratch/$f"
    else
        fail "expected file $f was not written"
    fi
done
fingerprint after
for f in "${!after[@]}"; do
    [[ -n ${expected_files[$f]:-} ]] && continue
    if [[ -z ${before[$f]:-} ]]; then
        fail "unexpected file $f was written"
        [[ $update == 1 ]] && compare "files/$f" "$scratch/$f"
    elif [[ ${before[$f]} != "${after[$f]}" ]]; then
        fail "input file $f was changed"
        [[ $update == 1 ]] && compare "files/$f" "$scratch/$f"
    fi
done
for f in "${!before[@]}"; do
    [[ -n ${expected_files[$f]:-} || -n ${after[$f]:-} ]] || fail "input file $f was removed"
done

if [[ $failed == 0 ]]; then
    echo "ok [$case_name, variant $variant]"
fi
exit $failed
