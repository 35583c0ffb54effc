#!/usr/bin/env bash
# Builds the release package from the installed layout: build/VYXCameraDriver-<version>.zip,
# holding VYXCamService.exe, DX_x86\, DX_x64\, tools_x64\, install.cmd, uninstall.cmd and
# README-Windows.txt in a folder of the same name. Run by `./run package` after a build of
# both architectures; the version is the service's own (service/VYXCamService.rc).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist=${VYX_DIST_DIR:-$build/dist}
# Tests pack into folders of their own, so two of them never share a stage.
out=${VYX_PACKAGE_DIR:-$build}
version=$(sed -n 's/^PRODUCTVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' "$root/service/VYXCamService.rc")
[ -n "$version" ] || { echo "package: no PRODUCTVERSION in service/VYXCamService.rc" >&2; exit 1; }
name="VYXCameraDriver-$version"

for needed in VYXCamService.exe DX_x86/VyxonCamera.dll DX_x64/VyxonCamera.dll tools_x64/vyxcap.exe; do
    [ -e "$dist/$needed" ] || { echo "package: $dist/$needed is missing: build both architectures first (./run build)" >&2; exit 1; }
done

stage="$out/package"
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/$name"
cp "$dist/VYXCamService.exe" "$stage/$name/"
for folder in DX_x86 DX_x64; do
    mkdir -p "$stage/$name/$folder"
    cp "$dist/$folder"/*.dll "$stage/$name/$folder/"
done
# The user's tools, not the developers' (pageshot).
mkdir -p "$stage/$name/tools_x64"
for tool in vyxcap.exe vyxsim.exe vyxcatalog.exe VyxonCamera.dll; do
    cp "$dist/tools_x64/$tool" "$stage/$name/tools_x64/"
done
# Windows' own line ends in what a user opens or runs.
for text in install.cmd uninstall.cmd README-Windows.txt; do
    sed 's/\r*$/\r/' "$root/package/$text" > "$stage/$name/$text"
done
(cd "$stage" && zip -q -r -X "$out/$name.zip" "$name")
rm -rf "$stage"
echo "$out/$name.zip"
