#!/bin/sh
# setup.exe must be a 32-bit x86 GUI program that imports only DLLs every
# supported Windows carries: one file, nothing else to ship beside it.
set -u
exe=$1
objdump=i686-w64-mingw32-objdump
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll oleaut32.dll comctl32.dll msvcrt.dll"

[ -f "$exe" ] || { echo "FAIL: $exe is missing"; exit 1; }
headers=$($objdump -p "$exe") || { echo "FAIL: objdump cannot read $exe"; exit 1; }
failed=0

echo "$headers" | grep -q 'file format pei-i386' || { echo "FAIL: not a PE32 i386 file"; failed=1; }
# Subsystem 2 is the Windows GUI subsystem.
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' || { echo "FAIL: not a GUI program"; failed=1; }

dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "FAIL: no import table found"; failed=1; }
for dll in $dlls; do
    case " $allowed " in
    *" $dll "*) echo "imports $dll" ;;
    *) echo "FAIL: imports $dll, which is not a system DLL"; failed=1 ;;
    esac
done
[ $failed -eq 0 ] && echo "setup.exe: PE32 i386, GUI, system DLLs only"
exit $failed
