#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over the sources of src/ and bench/, using
# the compile commands of a configured and built folder (first argument, default build/), one
# clang-tidy per core. Fails on any finding.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
build_dir=${1:-$root/build}

[[ -f $build_dir/compile_commands.json ]] || {
    echo "run-clang-tidy: no compile_commands.json in $build_dir; configure and build first" >&2
    exit 1
}

# Each source once (a file built into several targets too), none the build generated (moc).
mapfile -t sources < <(python3 -c '
import json, re, sys
pattern = re.compile(re.escape(sys.argv[2]) + "/(src|bench)/")
entries = json.load(open(sys.argv[1]))
print("\n".join(sorted({e["file"] for e in entries if pattern.match(e["file"])})))
' "$build_dir/compile_commands.json" "$root")

start=$SECONDS
status=0
# Only the findings are shown, not clang-tidy's counts of what it left out.
printf '%s\0' "${sources[@]}" |
    xargs -0 -n1 -P"$(nproc)" clang-tidy -p "$build_dir" --quiet 2>&1 |
    { grep -v -E '^[0-9]+ warnings? (generated|treated as errors?)\.$' || true; } ||
    status=$?
echo "run-clang-tidy: ${#sources[@]} files in $((SECONDS - start)) s:" \
    "$( ((status)) && echo 'findings above' || echo clean)"
exit "$status"
