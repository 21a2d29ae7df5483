#!/usr/bin/env bash
# The Windows programs of both builds: the right format, and no DLL beyond
# the system's own and korvaeml.dll (no MinGW runtime to ship).
#   check-programs.sh BIN_DIR_X86_64 BIN_DIR_I686
set -u
fails=0
check_dir() {
  local dir=$1 objdump=$2 format=$3 exe imports bad
  for exe in MAILBELL.exe mbdat.exe mbcheck.exe korvaeml.dll; do
    if [ ! -f "$dir/$exe" ]; then echo "FAIL: $dir/$exe missing"; fails=$((fails + 1)); continue; fi
    if ! "$objdump" -f "$dir/$exe" | grep -q "file format $format"; then
      echo "FAIL: $exe is not $format"; fails=$((fails + 1))
    fi
    imports=$("$objdump" -p "$dir/$exe" | sed -n 's/^\s*DLL Name: //p')
    bad=$(grep -viE '^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|shell32|winmm|ws2_32|msvcrt|korvaeml)\.dll$' <<<"$imports")
    if [ -n "$bad" ]; then echo "FAIL: $exe needs $bad"; fails=$((fails + 1)); else echo "ok: $exe ($format) needs only system DLLs"; fi
  done
  grep -qx korvaeml.dll <<<"$("$objdump" -p "$dir/MAILBELL.exe" | sed -n 's/^\s*DLL Name: //p')" ||
    { echo "FAIL: MAILBELL.exe does not import korvaeml.dll"; fails=$((fails + 1)); }
}
check_dir "$1" x86_64-w64-mingw32-objdump pei-x86-64
if [ -d "$2" ]; then
  check_dir "$2" i686-w64-mingw32-objdump pei-i386
else
  echo "skipped: no i686 build beside this one ($2)"
fi
[ "$fails" = 0 ]
