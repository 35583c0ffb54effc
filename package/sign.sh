#!/usr/bin/env bash
# Signs Windows programs and libraries in place with osslsigncode (SHA-256 Authenticode):
# package.sh runs it on each file, and makensis on the uninstaller and the setup program
# (!uninstfinalize, !finalize).
# Environment: VYX_SIGN_PFX (the PKCS#12 certificate), VYX_SIGN_PASSWORD (its password,
# passed to osslsigncode through a pipe, never on a command line), VYX_SIGN_DESCRIPTION
# (the name Windows shows), and optionally VYX_SIGN_TIMESTAMP_URL (an RFC 3161 server, so
# that signatures outlive the certificate).
# Usage: sign.sh FILE...
set -euo pipefail
url="https://www.vyx-astro.example/"
for file in "$@"; do
    timestamp=()
    [ -n "${VYX_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$VYX_SIGN_TIMESTAMP_URL")
    osslsigncode sign -pkcs12 "$VYX_SIGN_PFX" -readpass <(printf '%s' "$VYX_SIGN_PASSWORD") -h sha256 \
        -n "${VYX_SIGN_DESCRIPTION:-}" -i "$url" "${timestamp[@]}" -in "$file" -out "$file.signed" >/dev/null ||
        { rm -f "$file.signed"; echo "sign: could not sign $file" >&2; exit 1; }
    mv "$file.signed" "$file"
done
