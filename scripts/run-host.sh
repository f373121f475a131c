#!/usr/bin/env bash
# Installs what is missing, builds the host and everything it loads, and starts the stand-in
# host corvane with the template manager open on its embedded SQLite catalogue. Extra
# arguments go to corvane (see docs/user-guide.md).
# BUILD_DIR picks the build folder (default: build/ in the repository).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
build_dir=${BUILD_DIR:-$root/build}

echo "== Dependencies"
bash scripts/setup-deps.sh

echo "== Configure and build ($build_dir)"
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"$(nproc)" --target corvane || {
    echo "run-host: the build failed" >&2
    exit 1
}

host=("$build_dir/bin/corvane" --open-manager "$@")
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    cat <<MSG

No display (DISPLAY and WAYLAND_DISPLAY are empty), so the window cannot be shown here.
Run the host under a virtual X server instead:

    xvfb-run -a ${host[*]}

or take a picture of the manager window and look at that:

    xvfb-run -a ${host[*]} --screenshot manager.png
MSG
    exit 2
fi

echo "== Starting ${host[*]}"
exec "${host[@]}"
