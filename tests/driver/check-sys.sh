#!/usr/bin/env bash
# Checks a built korvap2k.sys: a kernel-mode image for the expected machine,
# native subsystem, entry point in the discardable INIT section, a pageable
# PAGE section, imports from ntoskrnl.exe (and hal.dll) only, a valid image
# checksum, relocations on i686, and the version resource 1.0.1.2.
#
#   check-sys.sh TRIPLET FILE [--optional]
#
# TRIPLET names the binutils (x86_64-w64-mingw32 or i686-w64-mingw32).
# With --optional a missing FILE or missing tools skip the check (exit 77).
set -uo pipefail

triplet=$1 file=$2 optional=${3:-}
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAIL: $*"; failed=1; }
failed=0

objdump=$(command -v "$triplet-objdump") || { [ "$optional" = --optional ] && skip "no $triplet-objdump"; echo "FAIL: no $triplet-objdump"; exit 1; }
objcopy=$(command -v "$triplet-objcopy") || { echo "FAIL: no $triplet-objcopy"; exit 1; }
if [ ! -f "$file" ]; then
  [ "$optional" = --optional ] && skip "$file not built"
  echo "FAIL: $file does not exist"; exit 1
fi
echo "checking $file"

case $triplet in
  x86_64-*) format=pei-x86-64 ;;
  i686-*) format=pei-i386 ;;
  *) echo "FAIL: unknown triplet $triplet"; exit 1 ;;
esac

headers=$("$objdump" -p "$file") || { echo "FAIL: objdump -p failed"; exit 1; }
sections=$("$objdump" -h "$file") || { echo "FAIL: objdump -h failed"; exit 1; }

# Machine.
grep -q "file format $format\$" <<<"$sections" || fail "not $format"

# Native subsystem.
grep -Eq '^Subsystem[[:space:]]+00000001' <<<"$headers" || fail "subsystem is not native (1)"

# Imports: ntoskrnl.exe, and hal.dll at most.
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
grep -qx 'ntoskrnl.exe' <<<"$dlls" || fail "no imports from ntoskrnl.exe"
others=$(grep -vx -e 'ntoskrnl.exe' -e 'hal.dll' <<<"$dlls" || true)
[ -z "$others" ] || fail "imports from $(echo $others)"

# Sections: INIT and PAGE hold code; the entry point lies in INIT.
section_field() { # name column -> value of that column in objdump -h
  awk -v n="$1" -v c="$2" '$2 == n { print $c; exit }' <<<"$sections"
}
section_flags() {
  awk -v n="$1" '$2 == n { getline; print; exit }' <<<"$sections"
}
for s in INIT PAGE; do
  if [ -z "$(section_field $s 2)" ]; then
    fail "no section $s"
  elif ! grep -q CODE <<<"$(section_flags $s)"; then
    fail "section $s holds no code"
  fi
done
base=$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")
entry=$(awk '$1 == "AddressOfEntryPoint" { print $2 }' <<<"$headers")
init_vma=$(section_field INIT 4) init_size=$(section_field INIT 3)
if [ -n "$base" ] && [ -n "$entry" ] && [ -n "$init_vma" ]; then
  e=$((0x$base + 0x$entry)) lo=$((0x$init_vma)) hi=$((0x$init_vma + 0x$init_size))
  { [ "$e" -ge "$lo" ] && [ "$e" -lt "$hi" ]; } || fail "entry point is not in INIT"
else
  fail "entry point or INIT address not found"
fi

# An i686 image cannot be loaded anywhere but its base without relocations.
if [ "$format" = pei-i386 ] && [ -z "$(section_field .reloc 2)" ]; then
  fail "no relocations"
fi

# Image checksum: 16-bit one's-complement-style sum of the file with the
# checksum field taken as zero, plus the file length (od pads an odd last
# byte with zero, as the sum wants it).
stored=$(awk '$1 == "CheckSum" { print $2 }' <<<"$headers")
pe=$(od -An -v -tu4 -j 60 -N 4 "$file" | tr -d ' ')
size=$(stat -c %s "$file")
computed=$(od -An -v -tu2 "$file" | awk -v skip=$(( (pe + 88) / 2 )) -v size="$size" '
  { for (i = 1; i <= NF; i++) { if (n != skip && n != skip + 1) { s += $i; s = (s % 65536) + int(s / 65536) } n++ } }
  END { s = (s % 65536) + int(s / 65536); printf "%08x", s + size }')
[ "$stored" = "$computed" ] || fail "checksum $stored, computed $computed"

# Version resource: VS_FIXEDFILEINFO starts with the signature 0xFEEF04BD,
# followed by the structure version and the file version (MS, LS).
rsrc=$(mktemp)
trap 'rm -f "$rsrc"' EXIT
if "$objcopy" -O binary --only-section=.rsrc "$file" "$rsrc" 2>/dev/null && [ -s "$rsrc" ]; then
  version=$(od -An -v -tx4 -w4 "$rsrc" | awk '
    found == 1 { skip = 0; found = 2; next }
    found == 2 { ms = $1; found = 3; next }
    found == 3 { printf "%s %s", ms, $1; exit }
    $1 == "feef04bd" { found = 1 }')
  [ "$version" = "00010000 00010002" ] || fail "file version is not 1.0.1.2 (fixed info: ${version:-none})"
  strings -el "$rsrc" | grep -qx '1.0.1.2' || fail "no FileVersion text 1.0.1.2"
else
  fail "no resource section"
fi

if [ "$failed" = 0 ]; then
  echo "ok: $format, native, ntoskrnl.exe imports only, INIT/PAGE, checksum $stored, version 1.0.1.2"
fi
exit "$failed"
