#!/usr/bin/env bash
# MAILBELL.exe under Wine: refused settings files, the single instance, the
# first-run wizard and the adoption of changed settings.
. "$(dirname "$0")/e2e-lib.sh"

PS2='{"FirstRun":0,"ModelFlags":0,"OptionFlags":2,"LanCheckMinutes":30,"Accounts":[{"PopServer":"127.0.0.1:1","UserName":"u","Password":"p"}]}'

# finish_wizard SERVER USER PASSWORD: fills the open wizard's pages and finishes it.
finish_wizard() {
  local w="New Account Wizard"
  spy type "$w" 0 "$1"
  spy click "$w" "&Next >"; sleep 0.5
  spy type "$w" 1 "$2"
  spy type "$w" 2 "$3"
  spy click "$w" "&Next >"; sleep 0.5
  spy click "$w" "&Finish"
  spy gone "$w" 10
}

# 1. A missing, a 10-byte and a damaged file: the message with CR LF, exit code 1.
for kind in missing short damaged; do
  d=$(new_program_dir)
  case $kind in
    short) printf '0123456789' > "$d/MAILBELL.dat" ;;
    damaged) make_settings "$d" "$PS2"; printf '\x55' | dd of="$d/MAILBELL.dat" bs=1 seek=30 conv=notrunc 2>/dev/null ;;
  esac
  start_mailbell "$d"
  if spy wait MAILBELL 20; then
    check "$kind file: the fixed message, CR LF inside" \
      grep -qxF 'File MAILBELL.DAT Not found or is cracked.\r\nPlease reinstall application.' <<<"$(spy texts MAILBELL)"
    # Wine shows its tray window only while some icon is in it.
    check "$kind file: no tray icon while the message shows" spy gone "Wine System Tray" 5
    spy click MAILBELL OK
  else
    fail "$kind file: no message box"
  fi
  wait_exit "$E2E_PID"
  check "$kind file: exit code 1 (got $E2E_CODE)" [ "$E2E_CODE" = 1 ]
  check "$kind file: no tray icon left" spy gone "Wine System Tray" 5
done

# 2. A second start wakes the first one's settings dialog and ends with 1.
d=$(new_program_dir)
make_settings "$d" "$PS2"
start_mailbell "$d"
first=$E2E_PID
check "first instance: main window by class and caption" spy waitclass TMAILBELLForm MAILBELLForm 20
check "first instance: its tray icon shows" spy wait "Wine System Tray" 10
code=$(spy run 30 "$(winepath_of "$d/MAILBELL.exe")")
check "second start ends with exit code 1 (got $code)" [ "$code" = 1 ]
SETTINGS='E-Mail mouse Korvana PS/2 driver settings V1.20'
check "the first instance opened its settings dialog" spy wait "$SETTINGS" 20

# 3. Adopting changed settings saves the file: a new account through the dialog.
spy click "$SETTINGS" "&New"
if spy wait "New Account Wizard" 10; then
  finish_wizard pop.added.org added-user added-pass
  spy click "$SETTINGS" "&Apply"
  sleep 2
  check "the adopted account is in the saved file" grep -q '"pop.added.org"' <<<"$(dump_settings "$d")"
else
  fail "the wizard did not open from the settings dialog"
fi
spy close "$SETTINGS"
kill "$first" 2>/dev/null

# 4. First start of a shipped file: the wizard; Finish adds the account and saves.
d=$(new_program_dir)
make_settings "$d" '{"FirstRun":1,"ModelFlags":0,"OptionFlags":0}'
start_mailbell "$d"
if spy wait "New Account Wizard" 20; then
  finish_wizard pop.first.org first-user first-pass; sleep 1
  out=$(dump_settings "$d")
  check "first run: the account is saved" grep -q '"pop.first.org"' <<<"$out"
  check "first run: FirstRun is 0 afterwards" grep -q '"FirstRun": *0' <<<"$out"
else
  fail "first run: no wizard"
fi
kill "$E2E_PID" 2>/dev/null

# 5. ... and Cancel saves with no account.
d=$(new_program_dir)
make_settings "$d" '{"FirstRun":1,"ModelFlags":0,"OptionFlags":0}'
start_mailbell "$d"
if spy wait "New Account Wizard" 20; then
  spy click "New Account Wizard" "&Cancel"
  spy gone "New Account Wizard" 10; sleep 1
  out=$(dump_settings "$d")
  check "cancelled first run: saved with FirstRun 0" grep -q '"FirstRun": *0' <<<"$out"
  check "cancelled first run: no account" grep -q '"Accounts": *\[\]' <<<"$out"
else
  fail "cancelled first run: no wizard"
fi
kill "$E2E_PID" 2>/dev/null
finish
