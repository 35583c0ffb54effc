#!/usr/bin/env bash
# Builds the release package from the installed layout: build/VYXCameraDriver-<version>.zip,
# holding VYXCamService.exe, DX_x86\, DX_x64\, tools_x64\, install.cmd, uninstall.cmd and
# README-Windows.txt in a folder of the same name; with --setup also the setup program
# build/VYXCameraDriver-<version>-setup.exe (NSIS, package/setup/) from the same files.
#   --camera-library DIR  the camera maker's library, DIR/x64/VyxonCamera.dll and
#                         DIR/x86/VyxonCamera.dll, takes the simulator's place, and the
#                         simulator's tool vyxsim stays out. Without it the package is the
#                         simulated-camera edition, and the setup says so.
#   --sign FILE.pfx       signs every .exe and .dll, the setup's helper, the uninstaller and
#                         the setup program (package/sign.sh; password in VYX_SIGN_PASSWORD).
# `./run package` runs it with --setup after a build of both architectures; tests that need
# only the zip skip the setup's minute of compression. The version, product and publisher
# are the service's own (service/host/VYXCamService.rc). VYX_PACKAGE_VERSION gives another
# version (x.y.z), for tests that upgrade from an older build. For tests only:
# VYX_SETUP_TARGET=amd64-unicode builds a 64-bit setup (where no 32-bit program runs), and
# VYX_SETUP_SEAMS=yes a setup that reads the machine it runs on from VYX_TEST_NATIVE_MACHINE,
# VYX_SETUP_UNCOMPRESSED=yes one that is not compressed, and VYX_PACKAGE_ZIP=no no zip.
# Prints the setup program's path (with --setup), then the zip's.
set -euo pipefail
usage() { echo "usage: package.sh [--setup] [--camera-library DIR] [--sign FILE.pfx]" >&2; exit 2; }
with_setup=no
library_dir=""
pfx=""
while [ $# -gt 0 ]; do
    case "$1" in
        --setup) with_setup=yes ;;
        --camera-library) [ $# -ge 2 ] || usage; library_dir=$2; shift ;;
        --sign) [ $# -ge 2 ] || usage; pfx=$2; shift ;;
        *) usage ;;
    esac
    shift
done
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist=${VYX_DIST_DIR:-$build/dist}
# Tests pack into folders of their own, so two of them never share a stage.
out=${VYX_PACKAGE_DIR:-$build}
rc="$root/service/host/VYXCamService.rc"
version=${VYX_PACKAGE_VERSION:-$(sed -n 's/^PRODUCTVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' "$rc")}
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package: no PRODUCTVERSION x,y,z in $rc (or VYX_PACKAGE_VERSION is not x.y.z)" >&2; exit 1; }
rc_value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"/\1/p" "$rc"; }
product=$(rc_value ProductName)
publisher=$(rc_value CompanyName)
[ -n "$product" ] && [ -n "$publisher" ] || { echo "package: no ProductName or CompanyName in $rc" >&2; exit 1; }
name="VYXCameraDriver-$version"

for needed in VYXCamService.exe DX_x86/VyxonCamera.dll DX_x64/VyxonCamera.dll DX_x64/VYXVirtualCamera.exe tools_x64/vyxcap.exe; do
    [ -e "$dist/$needed" ] || { echo "package: $dist/$needed is missing: build both architectures first (./run build)" >&2; exit 1; }
done
# The machine field of a PE file: 8664 for x64, 014c for x86.
pe_machine() {
    local pe
    pe=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$pe" ] && od -An -t x2 -j $((pe + 4)) -N 2 "$1" 2>/dev/null | tr -d ' '
}
if [ -n "$library_dir" ]; then
    for arch in x64:8664 x86:014c; do
        file="$library_dir/${arch%:*}/VyxonCamera.dll"
        [ "$(pe_machine "$file")" = "${arch#*:}" ] ||
            { echo "package: $file is missing or not a ${arch%:*} library (--camera-library DIR needs DIR/x64 and DIR/x86)" >&2; exit 1; }
    done
fi
if [ -n "$pfx" ]; then
    [ -r "$pfx" ] || { echo "package: cannot read the certificate $pfx" >&2; exit 1; }
    [ -n "${VYX_SIGN_PASSWORD+set}" ] || { echo "package: --sign needs the certificate's password in VYX_SIGN_PASSWORD" >&2; exit 1; }
    command -v osslsigncode >/dev/null || { echo "package: --sign needs osslsigncode" >&2; exit 1; }
    export VYX_SIGN_PFX=$(realpath "$pfx") VYX_SIGN_DESCRIPTION="$product"
fi

stage="$out/package"
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/$name" "$stage/setup"
cp "$dist/VYXCamService.exe" "$stage/$name/"
for arch in x86 x64; do
    mkdir -p "$stage/$name/DX_$arch"
    cp "$dist/DX_$arch"/VYX_*.dll "$stage/$name/DX_$arch/"
    # The service's 64-bit helper for Windows 11's virtual cameras.
    if [ "$arch" = x64 ]; then
        cp "$dist/DX_x64/VYXVirtualCamera.exe" "$stage/$name/DX_x64/"
    fi
    if [ -n "$library_dir" ]; then
        cp "$library_dir/$arch/VyxonCamera.dll" "$stage/$name/DX_$arch/"
    else
        cp "$dist/DX_$arch/VyxonCamera.dll" "$stage/$name/DX_$arch/"
    fi
done
# The user's tools, not the developers' (pageshot). vyxsim plugs simulated cameras: only the
# simulated-camera edition has it, with the simulator beside it.
mkdir -p "$stage/$name/tools_x64"
tools="vyxcap.exe vyxcatalog.exe"
[ -z "$library_dir" ] && tools="$tools vyxsim.exe VyxonCamera.dll"
for tool in $tools; do
    cp "$dist/tools_x64/$tool" "$stage/$name/tools_x64/"
done
# Windows' own line ends in what a user opens or runs.
for text in install.cmd uninstall.cmd README-Windows.txt; do
    sed 's/\r*$/\r/' "$root/package/$text" > "$stage/$name/$text"
done
if [ -n "$pfx" ]; then
    # The maker's library is the maker's to sign: ours never goes on it.
    find "$stage/$name" -name '*.exe' -o -name '*.dll' | sort | while read -r file; do
        if [ -n "$library_dir" ] && [ "$(basename "$file")" = VyxonCamera.dll ]; then
            osslsigncode extract-signature -in "$file" -out "$stage/setup/signature" >/dev/null 2>&1 ||
                echo "package: warning: $library_dir's VyxonCamera.dll is not signed: Smart App Control will block it" >&2
            continue
        fi
        bash "$root/package/sign.sh" "$file"
    done
fi
[ "${VYX_PACKAGE_ZIP:-yes}" = no ] || (cd "$stage" && zip -q -r -X "$out/$name.zip" "$name")

# The setup program installs the same files but its own uninstaller instead of the scripts.
setup="$out/$name-setup.exe"
rm -f "$setup"
if [ "$with_setup" = yes ]; then
    helper=${VYX_SETUP_HELPER:-$build/x64/package/vyxsetup.exe}
    [ -f "$helper" ] || { echo "package: $helper is missing: build the x64 tree first (./run build)" >&2; exit 1; }
    cp "$helper" "$stage/setup/vyxsetup.exe"
    [ -n "$pfx" ] && bash "$root/package/sign.sh" "$stage/setup/vyxsetup.exe"
    # What the setup installs and removes, file by file, and the digests by which it knows
    # its own camera libraries from an administrator's.
    {
        echo "; Written by package.sh for this package."
        echo "!macro ForEachProgramFile MACRO"
        (cd "$stage/$name" && find . -type f ! -name '*.cmd' ! -path './tools_x64/*' ! -name VyxonCamera.dll | sed 's|^\./||' | sort) |
            while read -r file; do echo "    !insertmacro \${MACRO} \"${file//\//\\}\" \"$file\""; done
        echo "!macroend"
        echo "!macro ForEachToolFile MACRO"
        (cd "$stage/$name" && find tools_x64 -type f ! -name VyxonCamera.dll | sort) |
            while read -r file; do echo "    !insertmacro \${MACRO} \"${file//\//\\}\" \"$file\""; done
        echo "!macroend"
        for folder in DX_x86 DX_x64 tools_x64; do
            library="$stage/$name/$folder/VyxonCamera.dll"
            [ -f "$library" ] && echo "!define LIBRARY_DIGEST_$folder $(sha256sum "$library" | cut -d' ' -f1)"
        done
        [ -z "$library_dir" ] && echo "!define SIMULATED_EDITION"
    } > "$stage/setup/files.nsh"
    options=()
    [ -n "$pfx" ] && options+=(-DSIGN_COMMAND="$root/package/sign.sh")
    [ "${VYX_SETUP_SEAMS:-}" = yes ] && options+=(-DTEST_SEAMS)
    [ "${VYX_SETUP_UNCOMPRESSED:-}" = yes ] && options+=(-DUNCOMPRESSED)
    makensis -V2 -INPUTCHARSET UTF8 -DTARGET="${VYX_SETUP_TARGET:-x86-unicode}" -DVERSION="$version" \
        -DVERSION4="$version.0" -DPRODUCT="$product" -DPUBLISHER="$publisher" -DSTAGE="$stage/$name" \
        -DFILES="$stage/setup/files.nsh" -DHELPER="$stage/setup/vyxsetup.exe" -DOUTFILE="$setup" "${options[@]}" \
        "$root/package/setup/VYXCameraDriver.nsi" >&2
fi
rm -rf "$stage"
[ "$with_setup" = yes ] && echo "$setup"
[ "${VYX_PACKAGE_ZIP:-yes}" = no ] || echo "$out/$name.zip"
