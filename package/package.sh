#!/usr/bin/env bash
# Builds the release package from the installed layout: build/VYXCameraDriver-<version>.zip,
# holding VYXCamService.exe, DX_x86\, DX_x64\, tools_x64\, install.cmd, uninstall.cmd and
# README-Windows.txt in a folder of the same name; with --setup also the setup program
# build/VYXCameraDriver-<version>-setup.exe (NSIS, package/setup/) from the same files.
# `./run package` runs it with --setup after a build of both architectures; tests that need
# only the zip skip the setup's minute of compression. The version, product and publisher
# are the service's own (service/VYXCamService.rc). VYX_PACKAGE_VERSION gives another
# version (x.y.z), for tests that upgrade from an older build.
# Prints the setup program's path (with --setup), then the zip's.
set -euo pipefail
with_setup=no
case "${1:-}" in
    --setup) with_setup=yes ;;
    "") ;;
    *) echo "usage: package.sh [--setup]" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist=${VYX_DIST_DIR:-$build/dist}
# Tests pack into folders of their own, so two of them never share a stage.
out=${VYX_PACKAGE_DIR:-$build}
rc="$root/service/VYXCamService.rc"
version=${VYX_PACKAGE_VERSION:-$(sed -n 's/^PRODUCTVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' "$rc")}
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package: no PRODUCTVERSION x,y,z in $rc (or VYX_PACKAGE_VERSION is not x.y.z)" >&2; exit 1; }
rc_value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"/\1/p" "$rc"; }
product=$(rc_value ProductName)
publisher=$(rc_value CompanyName)
[ -n "$product" ] && [ -n "$publisher" ] || { echo "package: no ProductName or CompanyName in $rc" >&2; exit 1; }
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
# The setup program installs the same files but its own uninstaller instead of the scripts.
setup="$out/$name-setup.exe"
rm -f "$setup"
if [ "$with_setup" = yes ]; then
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION4="$version.0" -DPRODUCT="$product" \
        -DPUBLISHER="$publisher" -DSTAGE="$stage/$name" -DOUTFILE="$setup" \
        "$root/package/setup/VYXCameraDriver.nsi" >&2
fi
rm -rf "$stage"
[ "$with_setup" = yes ] && echo "$setup"
echo "$out/$name.zip"
