#!/usr/bin/env bash
# Reads the resources back from the built programs, as Explorer's properties
# and installers read them: version, names and the copyright of LICENSE, a
# description of each program's own, the icon, and the bitmap in the desktop
# program only.
#
#   version_resources_test.sh WINDRES VERSION LICENSE KELVARA_EXE CLI_EXE
set -u
windres=$1 version=$2 copyright=$(grep -m1 '^Copyright' "$3") failures=0 descriptions=""
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
for exe in "$4" "$5"; do
  name=$(basename "$exe") rc=$("$windres" -J coff -i "$exe" -O rc)
  for want in "FILEVERSION ${version//./, }, 0" "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
    "\"ProductName\", \"Kelvara\"" "\"LegalCopyright\", \"$copyright\"" "\"CompanyName\", \"${copyright#Copyright (c) * }\"" \
    "\"OriginalFilename\", \"$name\"" "\"InternalName\", \"${name%.exe}\"" '"ICO" 14 /* RT_GROUP_ICON */'; do
    grep -qF "$want" <<<"$rc" || fail "$name lacks $want"
  done
  [[ $(grep -c ' 2 /\* RT_BITMAP' <<<"$rc") == $([[ $exe == "$4" ]] && echo 1 || echo 0) ]] || fail "$name: bitmaps"
  descriptions+=$(grep '"FileDescription", "..' <<<"$rc")$'\n'
done
[[ $(sort -u <<<"$descriptions" | grep -c .) == 2 ]] || fail "a description of each program: $descriptions"
echo "$failures failed checks"
[[ $failures == 0 ]]
