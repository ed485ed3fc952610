#!/bin/sh
# Fails when the executable imports anything but Windows system DLLs (a static build needs no runtime DLLs).
exe=$1
# Names compare in lower case: the linker keeps whatever case the import library used.
allowed=' advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll version.dll winmm.dll wininet.dll psapi.dll mstask.dll '
dlls=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$dlls" ] || { echo "no imports read from $exe"; exit 1; }
bad=0
for d in $dlls; do
  lower=$(echo "$d" | tr 'A-Z' 'a-z')
  case "$allowed" in
    *" $lower "*) echo "import ok: $d" ;;
    *) echo "unexpected import: $d"; bad=1 ;;
  esac
done
exit $bad
