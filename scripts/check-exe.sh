#!/usr/bin/env bash
# Checks that a Windows program is a 32-bit GUI PE that imports system DLLs
# only, so it runs on a bare Windows with nothing beside it.
set -euo pipefail
exe=$1
objdump=i686-w64-mingw32-objdump
[ -f "$exe" ] || { echo "no such file: $exe"; exit 1; }
headers=$($objdump -p "$exe")
format=$($objdump -f "$exe" | sed -n 's/.*file format //p')
[ "$format" = pei-i386 ] || { echo "$exe: format $format, not pei-i386"; exit 1; }
grep -q '^Subsystem.*(Windows GUI)' <<<"$headers" \
  || { echo "$exe: not a Windows GUI program"; exit 1; }
system='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|wininet|msvcrt|ws2_32|uuid|shlwapi|windowscodecs|gdiplus|imm32|version|winmm)\.dll$'
bad=0
while read -r dll; do
  if grep -qiE "$system" <<<"$dll"; then echo "  imports $dll"; else echo "  imports $dll: not a system DLL"; bad=1; fi
done < <(sed -n 's/.*DLL Name: //p' <<<"$headers")
echo "$exe: $(stat -c %s "$exe") bytes, $format"
exit $bad
