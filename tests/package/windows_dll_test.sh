#!/usr/bin/env bash
# What `cmake --install` lays out for Windows, the folder the installer and the zip ship, runs on
# a bare Windows: every DLL an .exe or .dll there imports is beside the programs or part of
# Windows. Qt's plugins load at run time and no import names them: windows_installer_test.sh
# checks that they ship, and their own imports (sqlite3.dll, odbc32.dll) are checked here.
# Usage: windows_dll_test.sh BUILD_DIR OBJDUMP
set -euo pipefail

build=$1 objdump=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 checked=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

root=$work/root
cmake --install "$build" --prefix "$root" >"$work/install.log" 2>&1 || { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }

# What Windows itself provides (Qt's imports are all here; a new entry belongs here only for a DLL
# every supported Windows has), then what lies beside the programs, where the loader looks first.
known=" advapi32 authz bcrypt cfgmgr32 comctl32 comdlg32 crypt32 d2d1 d3d9 d3d11 d3d12 dwmapi dwrite dxgi gdi32
    imm32 kernel32 mpr msvcrt netapi32 ntdll odbc32 ole32 oleaut32 setupapi shcore shell32 shlwapi user32 userenv
    uxtheme version winmm ws2_32 wtsapi32 winspool.drv $(find "$root" -maxdepth 1 -iname '*.dll' -printf '%f ') "
known=${known,,} known=${known//$'\n'/ }
while IFS= read -r -d '' file; do
    rel=${file#"$root"/}
    "$objdump" -p "$file" >"$work/pe.txt" 2>&1 || { fail "$rel: objdump cannot read it: $(head -n 3 "$work/pe.txt")"; continue; }
    # A 32-bit or non-Windows file would fail to load at all, whatever it imports.
    grep -q "file format pei-x86-64" "$work/pe.txt" || fail "$rel is not a 64-bit Windows file"
    for import in $(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/pe.txt" | tr -d '\r'); do
        name=${import,,}
        [[ $known == *" ${name%.dll} "* || $known == *" $name "* || $name == api-ms-win-* || $name == ext-ms-win-* ]] ||
            fail "$rel imports $import, which is neither installed beside the programs nor part of Windows"
    done
    checked=$((checked + 1))
done < <(find "$root" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
[ "$checked" -ge 2 ] || fail "only $checked executables and DLLs found"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "imports of $checked Windows files resolved"
