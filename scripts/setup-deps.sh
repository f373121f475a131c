#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running, testing and the style checks need,
# skipping those already present. Runs as root, or through sudo otherwise.
set -euo pipefail

packages=(
    cmake g++ make
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libgl-dev qt6-translations-l10n
    libxml2-dev libarchive-dev libsqlite3-dev libssl-dev libpq-dev pkgconf libicu-dev
    fonts-wqy-microhei xvfb xauth
    postgresql python3
    libarchive-tools
    clang-format clang-tidy
)

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" 2>/dev/null | grep -q '^Status: install ok installed' ||
        missing+=("$package")
done

if ((${#missing[@]} == 0)); then
    echo "== dependencies: all ${#packages[@]} packages present"
    exit 0
fi

as_root=()
if ((EUID != 0)); then
    command -v sudo >/dev/null || {
        echo "setup-deps: not root and no sudo; install as root: ${missing[*]}" >&2
        exit 1
    }
    as_root=(sudo)
fi

echo "== dependencies: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q "${missing[@]}"
