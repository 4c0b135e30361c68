#!/usr/bin/env bash
# Usage: dll_exports.sh Tocmate.dll JNI-HEADERS-FOLDER
# The DLL exports the native methods that the classes declare (those of the JNI headers javac
# made for them), undecorated, and nothing else, and imports only from system DLLs: it loads
# on a Windows machine without MinGW.
set -u
dump=$(x86_64-w64-mingw32-objdump -p "$1") || exit 1
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
  sed -n 's/^\s*\[ *[0-9]*\] \(\S*\)$/\1/p' | sort)
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | sort)
failed=0
expected=$(cat "$2"/*.h | grep -o '\bJava_cd_[A-Za-z0-9_]*' | sort -u)
if [ -z "$expected" ] || [ "$exports" != "$expected" ]; then
  printf 'exports: expected the native methods:\n%s\ngot:\n%s\n' "$expected" "$exports"
  failed=1
fi
while read -r dll; do
  case ${dll,,} in
    kernel32.dll | winmm.dll | msvcrt.dll | api-ms-win-crt-*.dll) ;;
    *) echo "imports from a DLL that is not the system's: $dll"; failed=1 ;;
  esac
done <<<"$imports"
[ $failed -eq 0 ] && printf 'ok: exports %s; imports %s\n' "$(echo $exports)" "$(echo $imports)"
exit $failed
