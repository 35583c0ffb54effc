#!/usr/bin/env bash
# Builds the setups that the setup tests run, into one folder (VYX_SETUP_BUILDS, a CTest
# fixture for setup_refusals_test.sh and setup_test.sh), with package/package.sh from a
# layout of one model and the x64 tree's test build of the service (64-bit, so its steps run
# on every host; its waits shortened by a VYXCamService.timings the tests put beside it):
#  - old:    version 1.9.0, the simulated-camera edition;
#  - new:    this version, the camera maker's edition (the simulator with bytes of its own,
#            so it is told apart), signed with a throwaway certificate;
#  - faulty: version 1.9.5, whose "service" cannot be installed (vyxcatalog knows no
#            /RegServer), built with the test seam that takes the machine from
#            VYX_TEST_NATIVE_MACHINE.
# Then checks what Windows reads of the setup program itself: version resource, manifest,
# signature. Uncompressed and without zips: compression costs a minute of a busy machine.
# Where 32-bit programs cannot run, the setups are built for x64 (the shipped one is 32-bit).
source "$(dirname "${BASH_SOURCE[0]}")/setup_common.sh"
service_build=${VYX_TEST_SERVICE:-$build/x64/tests/service/e2e/VYXCamService.exe}
[ -f "$service_build" ] || { echo "FAILED: no test build of the service at $service_build"; exit 1; }
target=x86-unicode
if ! "$root/cmake/wine-run" --host-runs-32bit; then
    target=amd64-unicode
    echo "note: this host cannot run 32-bit programs: the setups are built for x64, not as shipped (32-bit)"
fi
trap 'rm -rf "$work"' EXIT
rm -rf "$builds"
mkdir -p "$builds/layout/DX_x86" "$builds/layout/DX_x64" "$builds/layout/tools_x64" "$builds/maker/x86" "$builds/maker/x64" \
    "$builds/old" "$builds/new" "$builds/faulty"
for arch in x86 x64; do
    ln -s "$dist/DX_$arch/$stem.dll" "$dist/DX_$arch/VyxonCamera.dll" "$builds/layout/DX_$arch/"
    { cat "$dist/DX_$arch/VyxonCamera.dll"; echo "the camera maker's build"; } >"$builds/maker/$arch/VyxonCamera.dll"
done
ln -s "$dist/DX_x64/VYXVirtualCamera.exe" "$builds/layout/DX_x64/"
for tool in vyxcap.exe vyxsim.exe vyxcatalog.exe VyxonCamera.dll; do ln -s "$dist/tools_x64/$tool" "$builds/layout/tools_x64/"; done
cp -r "$builds/layout" "$builds/faulty-layout"
ln -s "$service_build" "$builds/layout/VYXCamService.exe"
ln -s "$dist/tools_x64/vyxcatalog.exe" "$builds/faulty-layout/VYXCamService.exe"
{ cat "$dist/DX_x86/VyxonCamera.dll"; echo "an administrator's copy"; } >"$builds/admins-library.dll"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$builds/cert.pem" -days 2 \
    -subj "/CN=VYX setup test" -addext "extendedKeyUsage=codeSigning" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$work/key.pem" -in "$builds/cert.pem" -out "$work/test.pfx" -passout pass:test-only ||
    fail "openssl made no test certificate"
pack() {  # pack NAME LAYOUT [package.sh options]
    local name=$1 layout=$2
    shift 2
    VYX_BUILD_ROOT="$build" VYX_DIST_DIR="$layout" VYX_PACKAGE_DIR="$builds/$name" VYX_SETUP_TARGET=$target \
        VYX_SETUP_UNCOMPRESSED=yes VYX_PACKAGE_ZIP=no bash "$root/package/package.sh" --setup "$@" \
        >/dev/null 2>"$builds/$name/makensis.out"
}
# Two at a time, one core each.
VYX_PACKAGE_VERSION=1.9.0 pack old "$builds/layout" &
VYX_SIGN_PASSWORD=test-only pack new "$builds/layout" --camera-library "$builds/maker" --sign "$work/test.pfx"
wait
VYX_PACKAGE_VERSION=1.9.5 VYX_SETUP_SEAMS=yes pack faulty "$builds/faulty-layout"
for setup in "$old_setup" "$new_setup" "$faulty_setup"; do
    [ -s "$setup" ] || { echo "FAILED: package.sh made no $setup: $(cat "$builds"/*/makensis.out)"; exit 1; }
done
check "the setup program carries product, version and publisher, asks for administrator rights and is DPI-aware" \
    "strings -el '$new_setup' >'$work/strings' && grep -qx 'VYX Camera DirectShow driver' '$work/strings' &&
     grep -qx '$version.0' '$work/strings' && grep -qx Vyxon '$work/strings' && grep -q 'requireAdministrator' '$new_setup' &&
     grep -qa '<dpiAware [^>]*>true</dpiAware>' '$new_setup'"
check "--sign: the setup program's signature verifies against the test certificate" \
    "osslsigncode verify -CAfile '$builds/cert.pem' -in '$new_setup' >/dev/null 2>&1"
finish
