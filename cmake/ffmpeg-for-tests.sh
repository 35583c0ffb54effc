#!/usr/bin/env bash
# Builds the ffmpeg.exe the FFmpeg tests run against the filter: FFmpeg from Debian's own
# source package, cross-built for 64-bit Windows with only what the tests use (the dshow
# input, rawvideo, the avi, framemd5, rawvideo and null muxers). Nothing of it enters the
# product; it lives in build/ffmpeg/ only.
#
#   cmake/ffmpeg-for-tests.sh [BUILD_ROOT]      (BUILD_ROOT defaults to ./build)
#
# Set-up, not a test: ./run test calls it before CTest. The binary is reused until the
# source package's version changes. Where the source cannot be had (no network, no source
# index, no dpkg-source) or the build fails, it writes the reason to
# BUILD_ROOT/ffmpeg/skip-reason, removes any stale binary and still exits 0: the FFmpeg
# tests then report themselves skipped with that reason.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_root=$(mkdir -p "${1:-$here/../build}" && cd "${1:-$here/../build}" && pwd)
work=$build_root/ffmpeg
exe=$work/ffmpeg.exe
stamp=$work/source-version
reason_file=$work/skip-reason
mkdir -p "$work"

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo -n)

skip() {
    echo "==> FFmpeg tests will be skipped: $*"
    printf '%s\n' "$*" > "$reason_file"
    rm -f "$exe" "$stamp"
    exit 0
}

os_release=${VYX_OS_RELEASE:-/etc/os-release}
codename=$(. "$os_release" 2>/dev/null && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || skip "no release codename in $os_release"

# A source index for the release's main suite, from the same mirror as its binary index.
# Added in a file of its own, and only where no deb-src entry for that suite exists.
source_list=${VYX_APT_SOURCES_DIR:-/etc/apt/sources.list.d}/vyx-ffmpeg-source.sources
has_source_index() {
    apt-get indextargets --format '$(CODENAME) $(COMPONENT)' 'Created-By: Sources' 2>/dev/null |
        grep -qx "$codename main"
}
if ! has_source_index; then
    mirror=$(apt-get indextargets --format '$(CODENAME) $(COMPONENT) $(REPO_URI)' 'Created-By: Packages' 2>/dev/null |
             awk -v s="$codename" '$1 == s && $2 == "main" { print $3; exit }')
    [ -n "$mirror" ] || skip "no binary index for $codename main to take a mirror from"
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$mirror" "$codename" | "${sudo[@]}" tee "$source_list" >/dev/null ||
        skip "cannot write $source_list (needs root)"
    # Only the new list is fetched: the other indexes stay as the machine has them.
    "${sudo[@]}" apt-get update -qq -o Dir::Etc::sourcelist="$source_list" -o Dir::Etc::sourceparts=- \
        -o APT::Get::List-Cleanup=0 || skip "apt-get update of the $codename source index failed"
fi

version=$(apt-cache showsrc ffmpeg 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -V | tail -n 1)
[ -n "$version" ] || skip "the ffmpeg source package is not in the source index"

if [ -x "$exe" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$version" ]; then
    rm -f "$reason_file"
    echo "==> ffmpeg.exe $version for the tests is up to date"
    exit 0
fi

command -v dpkg-source >/dev/null || skip "dpkg-source (package dpkg-dev) is needed to unpack the ffmpeg source"
command -v x86_64-w64-mingw32-gcc-posix >/dev/null || skip "the x64 MinGW-w64 compiler is missing"

echo "==> building ffmpeg.exe $version for the FFmpeg tests (set-up, a few minutes)"
started=$(date +%s)
upstream=${version#*:}
upstream=${upstream%-*}
source_dir=$work/ffmpeg-$upstream
rm -rf "$source_dir" "$work"/ffmpeg_* "$work/build-x64"
(cd "$work" && apt-get source -qq ffmpeg="$version" >"$work/fetch.log" 2>&1) ||
    skip "apt-get source ffmpeg=$version failed (see $work/fetch.log)"
[ -x "$source_dir/configure" ] || skip "the unpacked source has no $source_dir/configure"
rm -f "$work"/ffmpeg_*.tar.* "$work"/ffmpeg_*.dsc

# Through ccache where the machine has it: a second clone or a new build root then builds
# from the cache in a fraction of the time.
cc=x86_64-w64-mingw32-gcc-posix
cxx=x86_64-w64-mingw32-g++-posix
if command -v ccache >/dev/null; then cc="ccache $cc"; cxx="ccache $cxx"; fi

mkdir -p "$work/build-x64"
(
    cd "$work/build-x64" &&
    "$source_dir/configure" --prefix="$work/install" \
        --target-os=mingw32 --arch=x86_64 --enable-cross-compile --cross-prefix=x86_64-w64-mingw32- \
        --cc="$cc" --cxx="$cxx" \
        --pkg-config=false --disable-autodetect --enable-w32threads --disable-x86asm \
        --disable-everything --disable-doc --disable-programs --enable-ffmpeg \
        --disable-network --enable-static --disable-shared --extra-ldflags=-static \
        --enable-indev=dshow --enable-decoder=rawvideo --enable-encoder=rawvideo,wrapped_avframe \
        --enable-muxer=avi,framemd5,rawvideo,null --enable-protocol=file,pipe \
        --enable-filter=scale,null,format,buffer,buffersink &&
    make -j"$(nproc)" ffmpeg.exe
) >"$work/build.log" 2>&1 || skip "the ffmpeg.exe build failed (see $work/build.log)"

cp "$work/build-x64/ffmpeg.exe" "$exe" || skip "the build produced no ffmpeg.exe"
echo "$version" > "$stamp"
rm -f "$reason_file"
rm -rf "$source_dir" "$work/build-x64"
echo "==> ffmpeg.exe $version built in $(( $(date +%s) - started )) s"
