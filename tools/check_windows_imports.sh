#!/usr/bin/env bash
# Lists the DLLs a Windows program imports and fails when one is not part of Windows
# itself: the engine is linked statically and must run on a tournament machine from its
# .exe alone.
#
#   tools/check_windows_imports.sh build-windows/pbrain-zerin.exe
set -euo pipefail
exe="$1"
dlls="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')"
if [[ -z "$dlls" ]]; then
  echo "$exe: no import table found" >&2
  exit 1
fi
status=0
while read -r dll; do
  lower="${dll,,}"
  case "$lower" in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | advapi32.dll | user32.dll | ws2_32.dll | \
      ntdll.dll | bcrypt.dll | shell32.dll | ole32.dll | api-ms-win-*.dll)
      echo "imports $dll" ;;
    *)
      echo "imports $dll: not a Windows system DLL" >&2
      status=1 ;;
  esac
done <<< "$dlls"
exit "$status"
