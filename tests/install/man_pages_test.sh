#!/usr/bin/env bash
# Installs the build into a scratch prefix and reads every installed
# manual page with man -l: each formats without a warning and names its
# program; talvo's names the installed model directory, and the example it
# gives runs as written from another directory.
#
#   man_pages_test.sh BUILD_DIR
set -u
build=$(realpath "$1")

work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-man.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
command -v man > /dev/null || fail "man is not installed (Debian package man-db)"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
pages=$prefix/share/man/man1
[ "$(cd "$pages" && ls | tr '\n' ' ')" = "talvo-b.1 talvo-eval.1 talvo-scan.1 talvo-train.1 talvo.1 " ] ||
    fail "man1/ holds: $(ls "$pages" | tr '\n' ' ')"

for program in talvo talvo-b talvo-scan talvo-train talvo-eval; do
    LC_ALL=C.UTF-8 MANWIDTH=200 man --warnings -l "$pages/$program.1" > "$work/$program.txt" 2> "$work/$program.err" ||
        fail "man -l $program.1: $(cat "$work/$program.err")"
    [ -s "$work/$program.err" ] && fail "man -l $program.1 warns: $(cat "$work/$program.err")"
    # The name line, and for the pages made from --help its options.
    grep -Eq "^ +talvo(, talvo-b)? - |^ +$program - " "$work/$program.txt" || fail "$program.1: no NAME line"
    case $program in
        talvo|talvo-b) ;;
        *) grep -q -- "--version" "$work/$program.txt" || fail "$program.1: no options from --help" ;;
    esac
done

# talvo does not find the installed model by itself: its page says which
# directory to pass with -d, and its example works from anywhere.
model=$prefix/share/talvo/param-human
tr -s " \n" "  " < "$work/talvo.txt" | grep -qF "pass -d with the installed model directory, $model." ||
    fail "talvo.1 does not name $model: $(grep -A3 -- '-d DIR' "$work/talvo.txt")"
example=$(grep -E "^ +talvo -d " "$work/talvo.txt" | sed 's/^ *//')
[ "$example" = "talvo -d $model -i $prefix/share/talvo/sample.txt" ] || fail "talvo.1 example: $example"
mkdir "$work/elsewhere" && cd "$work/elsewhere" || exit 1
PATH=$prefix/bin:$PATH $example > report.txt 2> /dev/null || fail "the page's example fails: $(cat report.txt)"
grep -q "^START: [1-9]" report.txt || fail "the page's example predicts nothing: $(cat report.txt)"
echo "PASS"
