#!/usr/bin/env bash
# Pictures of every property page of MODEL, in English and in Chinese, into OUTDIR:
#   tools/pageshot/pageshot.sh "Heron 9C" docs/pages [x64|x86]
# Needs the build (the model's filter build, pageshot, the test locales of build/<arch>).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
model=${1:?usage: pageshot.sh MODEL OUTDIR [x64|x86]}
out=$(realpath -m "${2:?usage: pageshot.sh MODEL OUTDIR [x64|x86]}")
arch=${3:-x64}
mkdir -p "$out"
"$root/cmake/wine-cjk-fonts"
tool="$root/build/dist/tools_$arch/pageshot.exe"
LANG=C.UTF-8 "$root/cmake/wine-run" "$tool" "$model" "Z:${out//\//\\}"
# Wine takes the user language from the C library's locale: the build compiles zh_CN.
LOCPATH="$root/build/$arch/locales" LANG=zh_CN.UTF-8 "$root/cmake/wine-run" "$tool" "$model" "Z:${out//\//\\}"
