#pragma once
// One mail account's session as the check cycle runs it, and the log lines
// it writes. The main program and the mbcheck tool share this code.
#include <functional>
#include <string>

#include "mail/VekMsg.h"
#include "mail/VekPOP3.h"

using TLogLineProc = std::function<void(const std::string& Line)>;
using TTimeTextProc = std::function<std::string()>;

// How a session ended.
enum class TSessionEnd {
    Completed,      // logged on; the list holds the mailbox's messages
    ConnectFailed,  // no connection, or the connection was lost on the way
    LoginRefused,   // the server refused the user name or the password
};

// Routes the component's OnConnect, OnQuit and OnError to Log: the connect
// and quit lines name Pop.Host and the time from TimeText; every error gives
// the three error lines.
void AttachSessionLog(TVekPOP& Pop, TLogLineProc Log, TTimeTextProc TimeText);

// Empties List, connects, logs on, counts the messages and fetches every
// header block into List, then quits. Pop already holds host, user name and
// password. Exceptions of the component (a socket error, a call on a session
// the server closed) are not caught.
TSessionEnd CheckAccount(TVekPOP& Pop, TVekMsgList& List, const TLogLineProc& Log);
