#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in a folder of its
# own (default: build-sanitizers/ in the repository) and runs every test through
# run-tests.sh, PostgreSQL suites included. Any report fails the run, also one in a test that
# passed.
# Suppressions (scripts/sanitizers.supp) cover Qt and system libraries only.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
export BUILD_DIR=${BUILD_DIR:-$root/build-sanitizers}
# The format and clang-tidy verdicts do not depend on the sanitizers: the plain run gives them.
export ZQ_SKIP_LINT=1

bash scripts/setup-deps.sh
# run-tests.sh configures the folder again and keeps this setting.
cmake -S "$root" -B "$BUILD_DIR" -DZQ_SANITIZE=ON >/dev/null

supp=$root/scripts/sanitizers.supp
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$supp
# The sanitizer's dlopen interceptor hides the caller's RUNPATH ($ORIGIN), so the host's and
# the plug-in's libraries are found by name only through the library path.
export LD_LIBRARY_PATH=$BUILD_DIR/bin${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}

status=0
bash scripts/run-tests.sh || status=$?
# Every test's output, passed or failed, is in ctest's log: count the reports there, so that
# one in a test that still passed (a leak at exit, a child's report on stderr) counts too.
# (With both sanitizers linked, log_path is not honoured, so the reports stay on stderr.)
log=$BUILD_DIR/Testing/Temporary/LastTest.log
pattern='runtime error:|ERROR: (AddressSanitizer|LeakSanitizer)'
count=$(grep -cE "$pattern" "$log" 2>/dev/null || true)
printf '\n== Sanitizer reports: %d (see %s)\n' "${count:-0}" "$log"
if ((${count:-0})); then
    grep -E "$pattern" "$log" | sort | uniq -c
    status=1
fi
exit "$status"
