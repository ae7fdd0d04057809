#!/usr/bin/env bash
# Builds the Windows release package: Kelvara.exe and kelvara-cli.exe
# (release, static, stripped) with the README and the license, in one zip.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${BUILD_ROOT:-build}
scripts/build.sh windows
version=$(sed -n 's/^project(Kelvara VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kelvara-$version-win64
stage=$root/dist/$name
rm -rf "$stage" && mkdir -p "$stage"
for exe in app/Kelvara.exe cli/kelvara-cli.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$root/windows/$exe"
done
cp README.md LICENSE "$stage/"
[[ -f docs/screenshot.png ]] && mkdir -p "$stage/docs" && cp docs/screenshot.png "$stage/docs/"
zip="$PWD/$root/dist/$name.zip"
rm -f "$zip"
(cd "$root/dist" && zip -qr9 "$zip" "$name")
echo "$zip ($(du -h "$zip" | cut -f1), $(stat -c %s "$zip") bytes)"
