#!/usr/bin/env bash
# Installs the Windows build into a temporary folder, as the installer and the zip ship it, and
# checks that it runs on a bare Windows: every DLL that an .exe or .dll there imports is either
# beside the programs or part of Windows. Qt's plugins load at run time and no import names them,
# so the ones the window and the serial-number store need are checked by name; their own imports
# (the SQLite driver's sqlite3.dll, the ODBC driver's odbc32.dll) are checked like the programs'.
# Usage: windows_dll_test.sh BUILD_DIR OBJDUMP
set -euo pipefail

build=$1 objdump=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

root=$work/root
if ! cmake --install "$build" --prefix "$root" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

# What Windows itself provides, lower case. Qt's imports are all here; a new entry belongs here
# only for a DLL every supported Windows has.
system_dlls=(
    advapi32.dll authz.dll bcrypt.dll cfgmgr32.dll comctl32.dll comdlg32.dll crypt32.dll
    d2d1.dll d3d9.dll d3d11.dll d3d12.dll dwmapi.dll dwrite.dll dxgi.dll gdi32.dll imm32.dll
    kernel32.dll mpr.dll msvcrt.dll netapi32.dll ntdll.dll odbc32.dll ole32.dll oleaut32.dll setupapi.dll
    shcore.dll shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll version.dll winmm.dll
    winspool.drv ws2_32.dll wtsapi32.dll
)
is_system() {
    local name=$1 dll
    [[ $name == api-ms-win-* || $name == ext-ms-win-* ]] && return 0
    for dll in "${system_dlls[@]}"; do
        [ "$name" = "$dll" ] && return 0
    done
    return 1
}

# --- What the folder must and must not hold ---------------------------------------------------
for file in brindle.exe brindle-cli.exe platforms/qwindows.dll styles/qwindowsvistastyle.dll \
            Qt6Sql.dll sqldrivers/qsqlite.dll sqldrivers/qsqlodbc.dll sqlite3.dll \
            LICENSE.txt licenses/Qt/LGPL-3.0-only.txt licenses/Qt/GPL-3.0-only.txt licenses/Qt/SQLite.txt; do
    [ -f "$root/$file" ] || fail "missing $file"
done
# The simulated board on its own needs pseudo-terminals, which Windows lacks.
[ ! -e "$root/brindle-board.exe" ] || fail "brindle-board.exe is installed"

# The loader looks for a DLL beside the program, plugins' DLLs included.
declare -A beside
while IFS= read -r -d '' dll; do
    name=$(basename "$dll")
    beside[${name,,}]=1
done < <(find "$root" -maxdepth 1 -iname '*.dll' -print0)

# --- Every import resolves --------------------------------------------------------------------
checked=0
while IFS= read -r -d '' file; do
    rel=${file#"$root"/}
    if ! "$objdump" -p "$file" >"$work/pe.txt" 2>"$work/pe.err"; then
        fail "$rel: objdump cannot read it: $(cat "$work/pe.err")"
        continue
    fi
    # A 32-bit or non-Windows file would fail to load at all, whatever it imports.
    grep -q "file format pei-x86-64" "$work/pe.txt" || fail "$rel is not a 64-bit Windows file"
    while IFS= read -r import; do
        name=${import,,}
        [ -n "${beside[$name]:-}" ] || is_system "$name" ||
            fail "$rel imports $import, which is neither installed beside the programs nor part of Windows"
    done < <(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/pe.txt" | tr -d '\r')
    checked=$((checked + 1))
done < <(find "$root" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
[ "$checked" -ge 2 ] || fail "only $checked executables and DLLs found"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "imports of $checked Windows files resolved"
