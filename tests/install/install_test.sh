#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed talvo-scan
# from another directory, with no model option: it finds the installed human
# model. Checks that the programs, the models, the example and the manual
# pages, and nothing else, are installed.
#
#   install_test.sh BUILD_DIR SYNTHETIC_MODEL
set -u
build=$(realpath "$1")
synthetic=$(realpath "$2")

work=$(mktemp -d "${TMPDIR:-/tmp}/talvo-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
[ "$(cd "$prefix/bin" && ls | tr '\n' ' ')" = "talvo talvo-b talvo-eval talvo-scan talvo-train " ] ||
    fail "bin/ holds: $(ls "$prefix/bin" | tr '\n' ' ')"
[ "$(find "$prefix" -type f -not -path "$prefix/bin/*" -not -path "$prefix/share/talvo/*" \
        -not -path "$prefix/share/man/man1/*")" = "" ] ||
    fail "installed outside bin/, share/talvo/ and share/man/man1/"
share=$prefix/share/talvo
for file in sample.txt param-human/TRAINING.txt param-arabidopsis/TRAINING.txt; do
    [ -f "$share/$file" ] || fail "share/talvo/$file not installed"
done
diff -r "$(dirname "$0")/../../param-human" "$share/param-human" > /dev/null || fail "param-human differs"
diff -r "$(dirname "$0")/../../param-arabidopsis" "$share/param-arabidopsis" > /dev/null ||
    fail "param-arabidopsis differs"

mkdir "$work/elsewhere" && cd "$work/elsewhere" || exit 1
env -u TALVO_MODEL_DIR "$prefix/bin/talvo-scan" --quiet -t 1 "$share/sample.txt" > table.tsv ||
    fail "installed talvo-scan on the example"
grep -qxF "# talvo-scan $(sed -n 's/^# talvo-scan \([^;]*\);.*/\1/p' table.tsv); model $share/param-human; strand both; gene model, error setting est" \
    table.tsv || fail "not the installed model: $(head -1 table.tsv)"
grep -q '	cds	' table.tsv || fail "no prediction on the example: $(cat table.tsv)"
# $TALVO_MODEL_DIR still overrides the installed model.
TALVO_MODEL_DIR=$synthetic "$prefix/bin/talvo-scan" --use window --quiet -t 1 "$share/sample.txt" | grep -q "model $synthetic;" ||
    fail "TALVO_MODEL_DIR does not override the installed model"
echo "PASS"
