#!/bin/sh
# Checks the image of korvaeml.dll: export names, the shared section, the
# version resource and that it needs no runtime DLL of the compiler.
# usage: check-dll.sh PATH/korvaeml.dll TRIPLET   (TRIPLET: x86_64-w64-mingw32 or i686-w64-mingw32)
dll=$1 triplet=$2
objdump=$triplet-objdump objcopy=$triplet-objcopy
fail=0
bad() { echo "check-dll: $*"; fail=1; }

[ -f "$dll" ] || { echo "check-dll: no file $dll"; exit 1; }
headers=$("$objdump" -p "$dll") || { echo "check-dll: objdump failed"; exit 1; }

# Exports: exactly these five names, without any decoration.
exports=$(printf '%s\n' "$headers" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
[ "$exports" = "EnableMiddle InstallHook MouseProc SetAppWindows SyMsgHookProc " ] ||
  bad "exports are '$exports'"

# Imports: system libraries only.
imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u | tr '\n' ' ')
for name in $imports; do
  case $name in
    KERNEL32.DLL|USER32.DLL|MSVCRT.DLL|API-MS-WIN-CRT-*) ;;
    *) bad "imports $name" ;;
  esac
done

# The shared section: 20 bytes (five 32-bit words), marked shared.
section=$("$objdump" -h "$dll" | awk '$2 == "DataSeg" { size = $3; getline; print size, $0 }')
case $section in
  "00000014 "*SHARED*) ;;
  *) bad "section DataSeg is '$section'" ;;
esac

# Version resource: type 16 in the resource directory, and a fixed file info
# block (signature FEEF04BD, structure version 1.0) with file and product
# version 4.0.0.0.
printf '%s\n' "$headers" | grep -q 'Entry: ID: 0x000010,' || bad "no version resource"
tmp=$(mktemp) && trap 'rm -f "$tmp"' EXIT
"$objcopy" -O binary --only-section=.rsrc "$dll" "$tmp" || bad "no resource section"
hex=$(od -An -v -tx1 "$tmp" | tr -d ' \n')
case $hex in
  *bd04effe0000010000000400000000000000040000000000*) ;;
  *) bad "file version is not 4.0.0.0" ;;
esac

[ $fail = 0 ] && echo "check-dll: $dll ok"
exit $fail
