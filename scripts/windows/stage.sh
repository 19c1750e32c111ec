#!/usr/bin/env bash
# Puts together what the Windows package holds: the programs, the module, the Qt DLLs and
# plugins they use, the MinGW runtime, the fonts and the licences.
# Usage: stage.sh SDK QT_LICENCES CROSS_BUILD STAGE VERSION
set -euo pipefail
sdk=$1 qt_licences=$2 cross=$3 stage=$4 version=$5
here=$(dirname "$0")
objdump=x86_64-w64-mingw32-objdump
strip=x86_64-w64-mingw32-strip

# The DLLs a PE file imports that the SDK or the runtime provides, and theirs in turn.
declare -A taken=()
take_imports() {
    local dll found
    for dll in $("$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
        [ -n "${taken[$dll]:-}" ] && continue
        found=""
        for dir in "$sdk/bin" "$sdk/runtime"; do [ -f "$dir/$dll" ] && found=$dir/$dll; done
        [ -z "$found" ] && continue # a Windows system DLL
        taken[$dll]=1
        cp "$found" "$stage/"
        take_imports "$found"
    done
}

cp "$cross/src/zeva-control.exe" "$cross/src/zeva-panel.dll" "$cross/tools/zeva-projector-sim.exe" \
    "$stage/"
# Every platform plugin: a program with only the offscreen one hung under Wine. The Vista style
# draws the native controls.
mkdir -p "$stage/platforms" "$stage/styles"
cp "$sdk"/plugins/platforms/*.dll "$stage/platforms/"
cp "$sdk"/plugins/styles/qwindowsvistastyle.dll "$stage/styles/"
for pe in "$stage"/*.exe "$stage"/*.dll "$stage"/platforms/*.dll "$stage"/styles/*.dll; do
    take_imports "$pe"
done
# The runtime ships with its symbols; the programs need none of them.
"$strip" --strip-unneeded "$stage"/*.exe "$stage"/*.dll

# The stand-ins for the designed faces where Windows has none, loaded by the window at start.
mkdir -p "$stage/fonts"
cp /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf /usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf \
    "$stage/fonts/"

mkdir -p "$stage/licences"
cp LICENSE "$stage/LICENSE.txt"
# Qt under the LGPL v3, which builds on the GPL v3.
cp "$qt_licences/LGPL-3.0-only.txt" "$qt_licences/GPL-3.0-only.txt" "$stage/licences/"
cp "$here/third-party.txt" "$stage/licences/THIRD-PARTY.txt"
awk '/^License: IPA-1$/ { f = 1; next } f && /^ / { sub(/^ \.$/, ""); sub(/^ /, ""); print; next } { f = 0 }' \
    /usr/share/doc/fonts-ipafont-gothic/copyright >"$stage/licences/IPA-Font-License.txt"
sed "s/@VERSION@/$version/" "$here/README.txt" >"$stage/README.txt"
# Windows readers expect CRLF in text files.
for f in "$stage"/*.txt "$stage"/licences/*.txt; do sed -i 's/\r\?$/\r/' "$f"; done
