#!/usr/bin/env bash
# Signs a Windows program in place with osslsigncode when QELO_SIGN_PFX names the publisher's certificate (.pfx),
# with its password in QELO_SIGN_PASSWORD and, optionally, a time-stamp server's address in QELO_SIGN_TIMESTAMP.
# cpack runs it on qelo.exe, the uninstaller and the setup, and shows what it prints for qelo.exe only. Without a
# certificate it only says so.
# Usage: sign.sh FILE
set -euo pipefail
file=$1
if [ -z "${QELO_SIGN_PFX:-}" ]; then
    echo "Unsigned, as QELO_SIGN_PFX names no certificate: $(basename "$file")"
    exit 0
fi
# The password goes through a pipe, never onto the command line or the disk.
osslsigncode sign -pkcs12 "$QELO_SIGN_PFX" -readpass <(printf %s "${QELO_SIGN_PASSWORD:-}") -h sha256 -n qelo \
    ${QELO_SIGN_TIMESTAMP:+-ts "$QELO_SIGN_TIMESTAMP"} -in "$file" -out "$file.signed" >/dev/null
mv "$file.signed" "$file"
echo "Signed with $QELO_SIGN_PFX: $(basename "$file")"
