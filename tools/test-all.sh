#!/usr/bin/env bash
# Builds every configuration of TALVO and runs the whole test suite on each:
#   x64   64-bit, variants A and B (and the benchmarks)
#   x86   32-bit (-m32 -msse2 -mfpmath=sse), variants A and B
#   asan  64-bit with AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan  64-bit with ThreadSanitizer: the engine's threaded tests
# Usage: bash tools/test-all.sh [PRESET...]   (default: all four)
# Exits non-zero if any configuration fails to build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then presets=(x64 x86 asan tsan); fi

failed=()
for preset in "${presets[@]}"; do
    echo "=== ${preset}: configure, build, test ==="
    start=$SECONDS
    if cmake --preset "$preset" >/dev/null \
        && cmake --build --preset "$preset" \
        && ctest --preset "$preset"; then
        echo "=== ${preset}: passed in $((SECONDS - start)) s ==="
    else
        echo "=== ${preset}: FAILED after $((SECONDS - start)) s ===" >&2
        failed+=("$preset")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "test-all: failed: ${failed[*]}" >&2
    exit 1
fi
echo "test-all: all passed (${presets[*]})"
