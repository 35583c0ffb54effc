# Installs the Debian packages the build, the tests and the demo need. Sourced by ./run.
# A package mirror can be caught mid-sync (one index fails to download, and the amd64
# side then wants security versions whose i386 index is missing), so every step here
# degrades instead of stopping: update is retried and may end with some indexes stale,
# and an install that cannot be resolved is retried with the release's own suite
# preferred. Only the final check decides.

vyx_packages=(cmake ninja-build make mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
              wine wine64 wine32:i386 xvfb googletest libsimpleini-dev fonts-wqy-microhei locales
              ffmpeg siril zip unzip bc ccache dpkg-dev nsis osslsigncode openssl)

# Seconds between retries of apt-get update; tests set it to 0.
: "${VYX_APT_RETRY_PAUSE:=5}"

vyx_missing_packages() {
    local p
    for p in "${vyx_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}

vyx_release_codename() {
    local codename="" file=${VYX_OS_RELEASE:-/etc/os-release}
    [ -r "$file" ] && codename=$(. "$file" && echo "${VERSION_CODENAME:-}")
    echo "$codename"
}

vyx_install_dependencies() {
    local missing
    mapfile -t missing < <(vyx_missing_packages)
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "==> installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    local apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)

    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi

    local attempt updated=no
    for attempt in 1 2 3; do
        if "${apt[@]}" update -qq; then updated=yes; break; fi
        echo "==> apt-get update failed (attempt $attempt of 3)"
        [ "$attempt" -lt 3 ] && sleep "$VYX_APT_RETRY_PAUSE"
    done
    [ "$updated" = yes ] || echo "==> carrying on with the package indexes that did download"

    if ! "${apt[@]}" install -y -qq "${missing[@]}" >/dev/null; then
        local codename
        codename=$(vyx_release_codename)
        if [ -n "$codename" ]; then
            echo "==> install could not be resolved; retrying with the $codename suite preferred"
            "${apt[@]}" install -y -qq -t "$codename" "${missing[@]}" >/dev/null || true
        fi
    fi

    mapfile -t missing < <(vyx_missing_packages)
    if [ ${#missing[@]} -ne 0 ]; then
        echo "error: these packages are still missing: ${missing[*]}" >&2
        return 1
    fi
}
