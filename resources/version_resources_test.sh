#!/usr/bin/env bash
# Reads the resources back from the built programs, as Explorer's properties
# and installers read them.
#
#   version_resources_test.sh WINDRES VERSION LICENSE KELVARA_EXE CLI_EXE
set -uo pipefail
windres=$1 version=$2 license=$3 app=$4 cli=$5
failures=0
expect() { # expect WHAT ACTUAL WANTED
  if [[ $2 == "$3" ]]; then
    echo "ok: $1"
  else
    echo "FAIL: $1 is '$2', not '$3'"
    failures=$((failures + 1))
  fi
}

copyright=$(grep -m1 '^Copyright' "$license")
descriptions=()
for exe in "$app" "$cli"; do
  name=$(basename "$exe")
  rc=$("$windres" -J coff -i "$exe" -O rc)
  value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"\$/\1/p" <<<"$rc"; }
  expect "$name FILEVERSION" "$(sed -n 's/^ *FILEVERSION //p' <<<"$rc")" "${version//./, }, 0"
  for key in FileVersion ProductVersion; do expect "$name $key" "$(value $key)" "$version"; done
  expect "$name ProductName" "$(value ProductName)" Kelvara
  expect "$name LegalCopyright" "$(value LegalCopyright)" "$copyright"
  expect "$name CompanyName" "$(value CompanyName)" "${copyright#Copyright (c) * }"
  expect "$name OriginalFilename" "$(value OriginalFilename)" "$name"
  expect "$name InternalName" "$(value InternalName)" "${name%.exe}"
  expect "$name icon group ICO" "$(grep -c '^"ICO" 14 ' <<<"$rc")" 1
  expect "$name bitmaps" "$(grep -c ' 2 /\* RT_BITMAP' <<<"$rc")" "$([[ $exe == "$app" ]] && echo 1 || echo 0)"
  descriptions+=("$(value FileDescription)")
done
expect "a description of each program" "$(printf '%s\n' "${descriptions[@]}" | sort -u | grep -c .)" 2

echo "== $failures failed checks"
[[ $failures == 0 ]]
