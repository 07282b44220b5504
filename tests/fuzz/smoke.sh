#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each one on its seed corpus for a
# short while. Any crash, sanitizer report, leak or hang fails the script;
# the input that caused it is left in BUILD_DIR/artifacts/.
#
#   tests/fuzz/smoke.sh [SECONDS_PER_TARGET] [BUILD_DIR]
#
# Needs clang++ and Debian's libclang-rt-14-dev (libFuzzer).
set -eu

seconds=${1:-30}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${2:-$source_dir/build/fuzz}

CXX=${CXX:-clang++} cmake -S "$source_dir" -B "$build_dir" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVO_FUZZ=ON -DTALVO_SANITIZE=ON \
    -DTALVO_BUILD_TESTS=OFF -DTALVO_BUILD_BENCH=OFF
cmake --build "$build_dir" -j2 --target \
    fuzz_fasta fuzz_fasta_b fuzz_parameter_file fuzz_transition_file fuzz_run fuzz_scan

mkdir -p "$build_dir/artifacts"
for target in fasta fasta_b parameter_file transition_file run scan; do
    case $target in
        fasta_b) seeds=fasta ;;
        *) seeds=$target ;;
    esac
    # New inputs go to the build tree; the committed seeds stay as they are.
    corpus=$build_dir/corpus/$target
    mkdir -p "$corpus"
    echo "== fuzz_$target: $seconds s"
    "$build_dir/fuzz_$target" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$build_dir/artifacts/$target-" \
        "$corpus" "$source_dir/tests/fuzz/corpus/$seeds"
done
echo "fuzz smoke run: all targets clean"
