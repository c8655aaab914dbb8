# The Windows setup under Wine, from install to upgrade, refused downgrade, play and uninstall, as a new Windows
# user meets it. Sourced by scripts/windows.sh once the suites and the portable game have passed, with its Wine
# helpers (new_prefix, winpath, play), the setup ($setup), the portable folder ($portable), the scratch folder and
# the setup's install folder in it ($scratch, $app); sets left, what the uninstaller leaves.
# First an earlier version with a file of its own, signed with a throwaway certificate.
new_prefix setup
broken() { echo "setup check: $*" >&2; exit 1; }
run() { wine "$@" || broken "$* ended with status $?"; wineserver -w; }
signer="$scratch/signer"
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=qelo throwaway signer" -days 1 \
    -keyout "$signer.key" -out "$signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$signer.key" -in "$signer.pem" -passout pass:throwaway -out "$signer.pfx"
mkdir "$scratch/extra" && echo "only in the earlier version" >"$scratch/extra/earlier.txt"
(cd "$build_dir" && QELO_SIGN_PFX="$signer.pfx" QELO_SIGN_PASSWORD=throwaway QELO_SIGN_TIMESTAMP= \
    cpack -G NSIS -B "$scratch/earlier" -D CPACK_PACKAGE_VERSION=0.9.0 -D CPACK_PACKAGE_FILE_NAME=earlier \
    -D "CPACK_INSTALLED_DIRECTORIES=$scratch/extra;.") >/dev/null
earlier="$scratch/earlier/earlier.exe"
# The prefix's files and registry keys, but for the Temp folders (the uninstaller runs from a copy there).
snapshot() {
    (cd "$WINEPREFIX" && find drive_c -path '*/Temp' -prune -o -print &&
        sed -n 's/^\(\[.*\]\) [0-9]*$/\1/p' system.reg user.reg) | LC_ALL=C sort
}
entry() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\qelo' 2>/dev/null |
        tr -d '\r' | sed -n 's/^    //p'
}
snapshot >"$scratch/before"
run "$earlier" /S
[ -f "$app/earlier.txt" ] || broken "the earlier version is not in $app"
for file in "$earlier" "$app/qelo.exe" "$app/Uninstall.exe"; do
    osslsigncode verify -CAfile "$signer.pem" -in "$file" >/dev/null || broken "$file has no valid signature"
done
settings="$(realpath "$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')")")/qelo/qelo.ini"
mkdir -p "${settings%/*}" && echo "the player's settings" >"$settings" && cp "$settings" "$scratch/settings"

# This version over it: the earlier one's files go, the player's settings stay, one entry with every field.
run "$setup" /S
cmp -s "$settings" "$scratch/settings" || broken "the upgrade changed $settings"
diff <(cd "$app" && find . | sort) <( (cd "$portable" && find .; echo ./Uninstall.exe) | sort) ||
    broken "$app holds other files than the portable folder and the uninstaller"
dir='C:\Program Files\qelo' publisher="$(sed -n 's/^Copyright (c) [0-9]* //p' "$root_dir/LICENSE")"
diff <(entry | sed 's/^\(EstimatedSize    REG_DWORD    \)0x[0-9a-f]*$/\1(KiB)/') - <<EOF || broken "uninstall entry"
DisplayIcon    REG_SZ    $dir\qelo.exe
DisplayName    REG_SZ    qelo
DisplayVersion    REG_SZ    $version
EstimatedSize    REG_DWORD    (KiB)
InstallLocation    REG_SZ    $dir
NoModify    REG_DWORD    0x1
NoRepair    REG_DWORD    0x1
Publisher    REG_SZ    $publisher
QuietUninstallString    REG_SZ    "$dir\Uninstall.exe" /S
UninstallString    REG_SZ    "$dir\Uninstall.exe"
EOF
kib=$(($(entry | sed -n 's/^EstimatedSize    REG_DWORD    //p')))
bytes=$(find "$app" -type f -printf '%s\n' | awk '{ sum += $1 } END { print sum }')
((kib * 1024 <= bytes && bytes < (kib + 1) * 1024)) || broken "EstimatedSize $kib KiB for $bytes bytes"
lnk="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/qelo.lnk"
{ strings "$lnk" | grep -qxF "$dir\\qelo.exe" && strings -e l "$lnk" | grep -qxF "$dir\\qelo.exe"; } ||
    broken "$lnk does not start $dir\\qelo.exe with its icon"
# Nothing else: no Start-menu folder, no second shortcut or entry, no publisher's key.
diff <(LC_ALL=C comm -13 "$scratch/before" <(snapshot) | grep -v '^drive_c/Program Files/qelo/') <(
    printf '%s\n' '[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qelo]' "drive_c/Program Files/qelo" \
        "${lnk#"$WINEPREFIX/"}" "${settings%/*}" "$settings" | sed "s|^$WINEPREFIX/||" | LC_ALL=C sort) ||
    broken "the setup made more than its folder, shortcut and entry"

# The earlier version again: refused, as a silent setup does not ask.
if wine "$earlier" /S; then broken "the earlier version installed over this one"; fi
wineserver -w
entry | grep -qx "DisplayVersion    REG_SZ    $version" || broken "the refused setup changed the entry"

# The game from its shortcut. Program Files refuses new files to a player on Windows, so the game saves per user.
rm -r "${settings%/*}"
if chattr +i "$app" 2>/dev/null; then ini="$settings"; else ini="$app/qelo.ini"; fi
play "$lnk" "$build_dir/wine-setup" "$ini"
chattr -i "$app" 2>/dev/null || true

# The silent uninstall leaves the settings the game wrote, and nothing else of what there was not before.
run "$app/Uninstall.exe" /S
left="$(LC_ALL=C comm -13 "$scratch/before" <(snapshot))"
[ "$left" = "$(printf '%s\n' "${ini%/*}" "$ini" | sed "s|^$WINEPREFIX/||")" ] || broken "the uninstaller left $left"

