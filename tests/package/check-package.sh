#!/bin/bash
# The Debian package as the README makes it (cpack -G DEB in the build folder), unpacked into a
# scratch root: what it holds and needs, then zqcatalogue --help and a picture of corvane's
# window, run from there with a host folder of their own.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/contents"
for file in opt/corvane/corvane opt/corvane/zqcatalogue opt/corvane/libZQDocTemplateMG.so \
    opt/corvane/libcorvane_core.so opt/corvane/libZQZipTool.so usr/bin/corvane \
    usr/bin/zqcatalogue usr/share/applications/corvane.desktop \
    usr/share/man/man1/zqcatalogue.1; do
    grep -qx "./$file" "$scratch/contents" || { echo "the package lacks /$file"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6sql6-sqlite libarchive13; do
    [[ $depends == *"$package"* ]] || { echo "Depends lacks $package: $depends"; exit 1; }
done

dpkg -x "$deb" "$scratch/root"
programs=$scratch/root/opt/corvane
export ZQ_HOST_FOLDER=$scratch/home
mkdir -p "$ZQ_HOST_FOLDER"
"$programs/zqcatalogue" --help | grep -q "用法：zqcatalogue"
# corvane's first start makes the sample catalogue in the host folder, which zqcatalogue reads.
"$programs/corvane" --open-manager --screenshot "$scratch/window.png"
[[ -s $scratch/window.png ]] || { echo "corvane made no picture"; exit 1; }
"$programs/zqcatalogue" list | grep -q "审计计划"
[[ ! -e $programs/Data ]] || { echo "corvane wrote into its program folder"; exit 1; }
echo "package ok: $(basename "$deb")"
