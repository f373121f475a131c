#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in a folder of its
# own (default: build-sanitizers/ in the repository) and runs every test through
# run-tests.sh, PostgreSQL suites included. Any report fails the test that caused it.
# Suppressions (scripts/sanitizers.supp) cover Qt and system libraries only.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
export BUILD_DIR=${BUILD_DIR:-$root/build-sanitizers}

bash scripts/setup-deps.sh
# run-tests.sh configures the folder again and keeps this setting.
cmake -S "$root" -B "$BUILD_DIR" -DZQ_SANITIZE=ON >/dev/null

supp=$root/scripts/sanitizers.supp
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$supp
exec bash scripts/run-tests.sh
