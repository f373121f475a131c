#!/usr/bin/env bash
# Fails, listing them, when any tracked C++ file is not as clang-format (with the repository's
# .clang-format) would leave it. Fix with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# A copy of the tree without its git folder is checked by what lies in the source folders.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
    mapfile -t files < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
fi

# One clang-format for all files: it names each file that differs in its first complaint.
status=0
report=$(clang-format --style=file --dry-run -Werror --ferror-limit=1 "${files[@]}" 2>&1) ||
    status=$?
mapfile -t unformatted < <(sed -n \
    's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$report" | sort -u)

if ((${#unformatted[@]})); then
    echo "check-format: ${#unformatted[@]} of ${#files[@]} files differ from clang-format's" \
        "output ($(clang-format --version)):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi
if ((status)); then
    echo "$report" >&2
    exit "$status"
fi
echo "check-format: ${#files[@]} files as clang-format leaves them"
