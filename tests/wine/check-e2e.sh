#!/usr/bin/env bash
# MAILBELL.exe under Wine against dovecot: the first check lists the waiting
# mail in the notify window; an emptied mailbox closes it; "Ok" closes it; the
# middle key launches the e-mail program registered for ".eml"; with the hook
# library a real middle click stops the notification.
. "$(dirname "$0")/e2e-lib.sh"

NOTIFY='E-Mail coming'
start_pop3 'alice:secret' 'bob:correct horse' || { fail "dovecot did not start"; finish; }
deliver alice 'Alice Example <alice@example.org>'
deliver alice '"Doe, John" <john@example.net>'
deliver bob 'carol@example.com (Carol)'
SERVER="127.0.0.1:$E2E_POP3_PORT"

d=$(new_program_dir)
cp "$MB_BIN/mbmark.exe" "$d/"
# PS/2 model with the middle key; window and wave options on; middle function 0.
make_settings "$d" "{\"FirstRun\":0,\"ModelFlags\":1,\"OptionFlags\":97,\"MiddleFunction\":0,
  \"Accounts\":[{\"PopServer\":\"$SERVER\",\"UserName\":\"alice\",\"Password\":\"secret\"},
                {\"PopServer\":\"$SERVER\",\"UserName\":\"bob\",\"Password\":\"correct horse\"}]}"
start_mailbell "$d"
main=$E2E_PID

# 1. The start-up check: one row per message, sender and account.
if spy wait "$NOTIFY" 30; then
  rows=$(spy listview "$NOTIFY")
  echo "$rows" | sed 's/^/  row: /'
  check "three rows" [ "$(grep -c . <<<"$rows")" = 3 ]
  check "sender and account of the first message" grep -qxF "alice@example.org | $SERVER" <<<"$rows"
  check "a sender with a comment stays whole" grep -qxF "carol@example.com (Carol) | $SERVER" <<<"$rows"
  check "the count label" grep -qxF "You have 3 mail(s)" <<<"$(spy texts "$NOTIFY")"
else
  fail "no notify window after the start-up check"
fi

# 2. The mailboxes are emptied: the next check closes the window.
"$MB_POP3_KIT/pop3-server" clear "$E2E_POP3_DIR" alice >/dev/null
"$MB_POP3_KIT/pop3-server" clear "$E2E_POP3_DIR" bob >/dev/null
spy post TMAILBELLForm MAILBELLForm 1324
check "an empty check closes the notify window" spy gone "$NOTIFY" 30

# 3. New mail again, then "Ok" closes the window.
deliver bob 'dave@example.com'
spy post TMAILBELLForm MAILBELLForm 1324
if spy wait "$NOTIFY" 30; then
  spy click "$NOTIFY" Ok
  check "Ok closes the notify window" spy gone "$NOTIFY" 10
else
  fail "no notify window for the new mail"
fi

# 4. Middle key, function 0, no program configured: the ".eml" association.
"$WINE" reg add 'HKCR\.eml' /ve /d mbtestmail /f >/dev/null 2>&1
"$WINE" reg add 'HKCR\mbtestmail\shell\open\command' /ve /d "\"$(winepath_of "$d/mbmark.exe")\" \"%1\"" /f >/dev/null 2>&1
rm -f "$d/mbmark.txt"
spy post TMAILBELLForm MAILBELLForm 1224
for _ in $(seq 100); do [ -s "$d/mbmark.txt" ] && break; sleep 0.1; done
check "the registered e-mail program was started" [ -s "$d/mbmark.txt" ]
check "it was started without arguments" [ "$(tr -d '\r\n' < "$d/mbmark.txt")" = "" ]
"$WINE" reg delete 'HKCR\.eml' /f >/dev/null 2>&1
"$WINE" reg delete 'HKCR\mbtestmail' /f >/dev/null 2>&1

kill "$main" 2>/dev/null
wait "$main" 2>/dev/null

# 5. A real middle click with the middle key set to stop the notification.
d=$(new_program_dir)
deliver alice 'erin@example.org'
make_settings "$d" "{\"FirstRun\":0,\"ModelFlags\":1,\"OptionFlags\":65,\"MiddleFunction\":2,
  \"Accounts\":[{\"PopServer\":\"$SERVER\",\"UserName\":\"alice\",\"Password\":\"secret\"}]}"
start_mailbell "$d"
main=$E2E_PID
if spy wait "$NOTIFY" 30; then
  sleep 1
  spy middle "$NOTIFY"
  check "a middle click anywhere stops the notification" spy gone "$NOTIFY" 10
else
  fail "no notify window for the middle-click check"
fi
# 6. The log window through the tray menu: a right click on the icon, then "&Show process message".
spy post MbTrayWindow '*' 0x8060 1 0x205
check "the tray menu opens" spy menukeys down,down,down,enter 10
if spy wait Messages 10; then
  spy post TMAILBELLForm MAILBELLForm 1324   # a check on demand, with the log window open
  sleep 3
  log=$(spy texts Messages)
  echo "$log" | sed 's/\\r\\n/\n/g' | sed 's/^/  log: /'
  check "the log shows the session lines" grep -qF 'You have 1 mail(s).\r\nQuit from to Server 127.0.0.1 at ' <<<"$log"
  check "the log shows the end of each session" grep -qF 'EMAIL PROCESS OK.' <<<"$log"
else
  fail "the log window did not open"
fi

# The program ends through its menu's Exit: close the main window.
spy post TMAILBELLForm MAILBELLForm 16
wait_exit "$main"
check "the program ends with exit code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
finish
