#!/usr/bin/env bash
# Builds the Windows release package: Kelvara.exe and kelvara-cli.exe
# (release, static, stripped), the user guide and the license, in one zip.
# The texts get CR LF line ends, so that every Windows editor shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${BUILD_ROOT:-build}
[[ $root == /* ]] || root=$PWD/$root
scripts/build.sh windows Kelvara kelvara-cli
version=$(sed -n 's/^project(Kelvara VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kelvara-$version-win64
stage=$root/dist/$name
rm -rf "$stage" && mkdir -p "$stage"
for exe in app/Kelvara.exe cli/kelvara-cli.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$root/windows/$exe"
done
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
crlf docs/Kelvara-Guide.txt "$stage/Kelvara-Guide.txt"
crlf LICENSE "$stage/LICENSE.txt"
zip=$root/dist/$name.zip
rm -f "$zip"
(cd "$root/dist" && zip -qr9 "$zip" "$name")
echo "$zip ($(du -h "$zip" | cut -f1), $(stat -c %s "$zip") bytes)"
