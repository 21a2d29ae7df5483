# Sourced by the end-to-end scripts. Needs: MB_BIN (folder of MAILBELL.exe,
# korvaeml.dll, mbdat.exe, mbspy.exe, mbmark.exe), MB_POP3_KIT, and the Wine
# environment of scripts/wine-env.sh (WINE, WINEPREFIX, DISPLAY).
set -u
: "${WINE:=/usr/lib/wine/wine64}"
E2E_FAILS=0
E2E_DIRS=()
E2E_PIDS=()
E2E_SERVERS=()

e2e_cleanup() {
  local p d
  for p in "${E2E_PIDS[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${E2E_PIDS[@]}"; do wait "$p" 2>/dev/null; done
  for d in "${E2E_SERVERS[@]}"; do "$MB_POP3_KIT/pop3-server" stop "$d" >/dev/null 2>&1; done
  for d in "${E2E_DIRS[@]}" "${E2E_SERVERS[@]}"; do rm -rf "$d"; done
}
trap e2e_cleanup EXIT

ok()   { echo "ok: $*"; }
fail() { echo "FAIL: $*"; E2E_FAILS=$((E2E_FAILS + 1)); }
check() { local what=$1; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }
finish() { [ "$E2E_FAILS" = 0 ] && echo "all checks passed" || echo "$E2E_FAILS check(s) failed"; exit $((E2E_FAILS > 0)); }

spy() { timeout 60 "$WINE" "$MB_BIN/mbspy.exe" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# A folder with the program and its library, as installed.
new_program_dir() {
  local d
  d=$(mktemp -d /tmp/mbe2e-XXXXXX)
  E2E_DIRS+=("$d")
  cp "$MB_BIN/MAILBELL.exe" "$MB_BIN/korvaeml.dll" "$d/"
  echo "$d"
}

# make_settings DIR JSON: the settings file of DIR from mbdat's JSON form.
make_settings() { printf '%s' "$2" | "$WINE" "$MB_BIN/mbdat.exe" make "$(winepath_of "$1/MAILBELL.dat")" >/dev/null; }
dump_settings() { "$WINE" "$MB_BIN/mbdat.exe" dump "$(winepath_of "$1/MAILBELL.dat")" 2>&1 | tr -d '\r'; }
winepath_of() { echo "Z:${1//\//\\}"; }

# Starts MAILBELL.exe of DIR in the background; E2E_PID is its Wine process.
start_mailbell() {
  "$WINE" "$1/MAILBELL.exe" >/dev/null 2>&1 &
  E2E_PID=$!
  E2E_PIDS+=("$E2E_PID")
}

# Waits (bounded, 30 s) for a background program of this shell; E2E_CODE is
# its exit code, or "timeout".
wait_exit() {
  local pid=$1 i
  E2E_CODE=timeout
  for i in $(seq 300); do
    if ! kill -0 "$pid" 2>/dev/null || [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ]; then
      wait "$pid"
      E2E_CODE=$?
      return 0
    fi
    sleep 0.1
  done
}

# start_pop3 USER:PASSWORD...: a dovecot on loopback; E2E_POP3_DIR, E2E_POP3_PORT.
start_pop3() {
  local d args=()
  d=$(mktemp -d /tmp/mbpop3e2e-XXXXXX)
  chmod 755 "$d"
  E2E_SERVERS+=("$d")
  for u in "$@"; do args+=(-u "$u"); done
  "$MB_POP3_KIT/pop3-server" start "$d" -p auto --fast-auth "${args[@]}" >/dev/null || return 1
  E2E_POP3_DIR=$d
  E2E_POP3_PORT=$(. "$d/env"; echo "$POP3_PORT")
}

# deliver USER FROM: one message from that sender.
deliver() {
  local f
  f=$(mktemp /tmp/mbmsg-XXXXXX.eml)
  printf 'From: %s\r\nTo: %s@example.org\r\nSubject: Hello\r\nDate: Fri, 11 Dec 2026 10:00:00 +0000\r\n\r\nHi\r\n' "$2" "$1" > "$f"
  "$MB_POP3_KIT/pop3-server" deliver "$E2E_POP3_DIR" "$1" "$f" >/dev/null 2>&1
  rm -f "$f"
}
