#!/usr/bin/env bash
# The deep checks beside the tests (.ci/run runs them after scripts/test.sh):
# the tests again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the whole show headless under them; a short
# headless run under valgrind's memcheck; and each loader's fuzz target for a
# short while. Any finding fails the script. Suppressions, each with its
# reason, are in tests/sanitizers/.
#   scripts/checks.sh            (FUZZ_SECONDS=30 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc 2>/dev/null || echo 2)
root=$(pwd)
# The plain build and Data/ are needed too (the valgrind run, the fuzz seeds).
[ -x build/bralmond ] && [ -f Data/Soundtrack.mp3 ] || scripts/setup.sh

echo "== Tests built with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DBRALMOND_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-asan -j "$JOBS" >/dev/null
# alloc_dealloc_mismatch is off because Mesa's LLVM frees with free() what it
# allocated with operator new when it drops a compiled shader; AddressSanitizer
# offers no suppression by name for that report. Our own code is held to the
# same rule at compile time (GCC's -Wmismatched-new-delete, part of -Wall).
export ASAN_OPTIONS=detect_leaks=1:alloc_dealloc_mismatch=0:detect_stack_use_after_return=0
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan -j "$JOBS" --timeout 1200 --output-on-failure

echo "== The whole show, headless, under the sanitizers"
build-asan/bralmond --headless --fps 10 --stats

echo "== A short headless run under valgrind's memcheck"
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
valgrind --quiet --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite \
  --show-leak-kinds=definite --suppressions="$root/tests/sanitizers/valgrind.supp" \
  build/bralmond --headless --fps 10 --until 1

echo "== The loaders' fuzz targets"
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
