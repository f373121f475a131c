#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds everything with warnings as errors,
# starts a throwaway PostgreSQL cluster for the catalogue tests, runs every test and then
# clang-tidy. Fails when any of them fails.
# BUILD_DIR picks the build folder (default: build/ in the repository); ZQ_SKIP_LINT=1 leaves
# out the format check and clang-tidy (the sanitizer run does, having its own purpose).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
build_dir=${BUILD_DIR:-$root/build}
pg_bin=/usr/lib/postgresql/15/bin

step() { printf '\n== %s\n' "$*"; }

step "Dependencies"
bash scripts/setup-deps.sh

lint=1
[[ ${ZQ_SKIP_LINT:-} == 1 ]] && lint=0
status=0
if ((lint)); then
    step "Format"
    bash scripts/check-format.sh || status=1
fi

step "PostgreSQL: throwaway cluster"
# PostgreSQL refuses to run as root: as root, the cluster belongs to the postgres user.
if ((EUID == 0)); then
    id -u postgres >/dev/null 2>&1 ||
        useradd --system --user-group --home-dir /nonexistent --shell /usr/sbin/nologin postgres
    as_pg=(runuser -u postgres --)
else
    as_pg=()
fi
# In /tmp, not $TMPDIR: the postgres user must reach it, and the socket path stays short.
pg_dir=$(mktemp -d /tmp/zq-postgres.XXXXXX)
if ((EUID == 0)); then
    chown postgres: "$pg_dir"
fi
# Run from the cluster's folder: the postgres user may not reach the caller's folder.
pg() { (cd "$pg_dir" && "${as_pg[@]}" "$pg_bin/$1" "${@:2}"); }

pg_started=0
cleanup() {
    if ((pg_started)); then
        echo "== PostgreSQL: stopping the cluster"
        pg pg_ctl -D "$pg_dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$pg_dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# 55432 when it is free, otherwise any free loopback port.
port=$(python3 -c '
import socket
for port in (55432, 0):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            continue
        print(s.getsockname()[1])
        break
')

if ! pg initdb -D "$pg_dir/data" -U postgres --auth=trust --encoding=UTF8 --locale=C.UTF-8 \
    >"$pg_dir/initdb.log" 2>&1; then
    cat "$pg_dir/initdb.log" >&2
    exit 1
fi
# Nothing here needs to survive a crash, so durability is off for speed.
pg_started=1
if ! pg pg_ctl -D "$pg_dir/data" -l "$pg_dir/server.log" -w -t 60 -o \
    "-c listen_addresses=127.0.0.1 -p $port -k $pg_dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    start >/dev/null; then
    cat "$pg_dir/server.log" >&2
    exit 1
fi
pg createdb -h 127.0.0.1 -p "$port" -U postgres zqtest
url="postgresql://postgres@127.0.0.1:$port/zqtest"
echo "PostgreSQL 15 on 127.0.0.1:$port, data in $pg_dir/data: $url"

step "Configure ($build_dir)"
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "-DZQ_TEST_POSTGRES_URL=$url"

step "Build (warnings are errors)"
cmake --build "$build_dir" -j"$(nproc)" || {
    echo "run-tests: the build failed" >&2
    exit 1
}

cd "$build_dir"
total=$(ctest -N | sed -n 's/^Total Tests: //p')
postgres=$(ctest -N -R '_postgres$' | sed -n 's/^Total Tests: //p')
step "Tests: $total, of which $postgres against PostgreSQL"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j2 --timeout 600 ||
    status=$?

if ((lint)); then
    step "clang-tidy"
    bash "$root/scripts/run-clang-tidy.sh" "$build_dir" || status=1
fi
exit "$status"
