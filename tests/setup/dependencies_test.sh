#!/usr/bin/env bash
# The dependency step of ./run against a fake apt-get that fails the way a mirror caught
# mid-sync does: update reports a failed index, and install resolves only with the
# release's own suite preferred.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

make_fakes() {
    mkdir -p "$work/bin"
    cat > "$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
name=${@: -1}
grep -qx "$name" "$FAKE_STATE/installed" 2>/dev/null && printf 'install ok installed' && exit 0
exit 1
FAKE
    cat > "$work/bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
echo "dpkg $*" >> "$FAKE_STATE/calls"
[ "$1" = --print-foreign-architectures ] && [ -f "$FAKE_STATE/i386" ] && echo i386
[ "$1" = --add-architecture ] && touch "$FAKE_STATE/i386"
exit 0
FAKE
    cat > "$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $* frontend=${DEBIAN_FRONTEND:-}" >> "$FAKE_STATE/calls"
case "$1" in
update)
    echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
    exit 100 ;;
install)
    shift
    suite=""; packages=()
    while [ $# -gt 0 ]; do
        case "$1" in -t) suite=$2; shift 2 ;; -*) shift ;; *) packages+=("$1"); shift ;; esac
    done
    if [ "$suite" != "$FAKE_RESOLVES_WITH" ]; then
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
    fi
    for p in "${packages[@]}"; do
        grep -qx "$p" "$FAKE_STATE/unavailable" 2>/dev/null || echo "$p" >> "$FAKE_STATE/installed"
    done
    exit 0 ;;
esac
exit 0
FAKE
    chmod +x "$work/bin/"*
    printf 'VERSION_CODENAME=testrelease\n' > "$work/os-release"
}

use_state() {
    export FAKE_STATE="$work/state.$1"
    mkdir -p "$FAKE_STATE"
    : > "$FAKE_STATE/calls"
}

# Runs the dependency step against the current fake package state; prints its output.
run_step() {
    ( cd "$root" && PATH="$work/bin:$PATH" VYX_APT_RETRY_PAUSE=0 VYX_OS_RELEASE="$work/os-release" \
        FAKE_RESOLVES_WITH=testrelease bash -c 'source cmake/dependencies.sh && vyx_install_dependencies' 2>&1 )
}

passes=0
expect() {
    if eval "$2"; then echo "ok: $1"; passes=$((passes + 1)); else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

make_fakes

use_state midsync
output=$(run_step); status=$?
expect "a failed index and an unresolvable install still end installed" "[ $status -eq 0 ]"
expect "update is retried three times" "[ \$(grep -c '^apt-get update' $FAKE_STATE/calls) -eq 3 ]"
expect "it says it carries on with the indexes it has" "grep -q 'carrying on' <<<\"\$output\""
expect "the retry prefers the release's suite" "grep -q 'install -y -qq -t testrelease' $FAKE_STATE/calls"
expect "DEBIAN_FRONTEND reaches apt-get" "! grep -q 'frontend=\$' $FAKE_STATE/calls"
expect "the i386 architecture is added" "grep -q 'dpkg --add-architecture i386' $FAKE_STATE/calls"
expect "wine32:i386 is installed" "grep -qx 'wine32:i386' $FAKE_STATE/installed"

use_state unavailable
echo wine32:i386 > "$FAKE_STATE/unavailable"
output=$(run_step); status=$?
expect "a package that never installs fails the step" "[ $status -ne 0 ]"
expect "one line names the missing package" "[ \$(grep -c 'still missing: wine32:i386\$' <<<\"\$output\") -eq 1 ]"

use_state done
source "$root/cmake/dependencies.sh"
printf '%s\n' "${vyx_packages[@]}" > "$FAKE_STATE/installed"
output=$(run_step); status=$?
expect "an installed machine touches no package tool" "[ $status -eq 0 ] && [ ! -s $FAKE_STATE/calls ]"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
