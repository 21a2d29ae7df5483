#pragma once
// TVekPOP: one POP3 session at a time over a blocking TCP socket. Runs on
// the GUI thread and dispatches pending window messages before every send
// and receive. It only reads mail; it never deletes any.
//
// Every network wait is bounded (ConnectTimeoutMs, ReceiveTimeoutMs). A
// server that stays silent that long, or closes the connection in the middle
// of the session, ends the session as a lost connection: HasError and
// ConnectionLost become true, the socket is closed (OnQuit), OnError reports
// wsaTimedOut or wsaDisconnected, and the operation in progress returns
// (a retrieval with false, RetrieveAll with the messages complete so far).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "mail/VekMsg.h"
#include "mail/vek_util.h"
#include "platform/net/ClientSocket.h"

using TNotifyEvent = std::function<void(void* Sender)>;
using TSocketNotifyEvent = std::function<void(void* Sender, platform::TClientSocket* Socket)>;
using TOnBeforeRetrieve = std::function<void(void* Sender, uint16_t MsgIndex)>;
using TOnDeleteEvent = std::function<void(void* Sender, uint16_t MsgIndex)>;
using TToFromSocketEvent = std::function<void(void* Sender, const std::string& s)>;

class TVekPOP {
public:
    TVekPOP();
    ~TVekPOP();
    TVekPOP(const TVekPOP&) = delete;
    TVekPOP& operator=(const TVekPOP&) = delete;

    std::unique_ptr<platform::TClientSocket> Socket;
    std::string UserId;
    std::string UserPasswd;
    std::string Port = "110";  // 110 when it is not a number
    std::string Host;          // a host name or a dotted IPv4 address
    bool HasError = false;
    std::string StrErrorInFormatOfMsg = "Error en el formato del mensaje.";
    bool Connected = false;
    uint16_t NextProgressAt = 0;
    std::string ReplyStatus;
    std::string ReplyText;
    bool AbortRequested = false;
    bool LastSupported = false;
    bool GetUIDLsOnRetrieve = false;
    uint16_t ProgressPercent = 0;
    uint16_t RetrieveProgressStep = 10;
    uint16_t MessageCount = 0;
    uint16_t NewMessageCount = 0;

    // Limits of the network waits in milliseconds (0 = wait without limit).
    unsigned ConnectTimeoutMs = 30000;
    unsigned ReceiveTimeoutMs = 60000;
    // The session ended because the server went silent or closed the
    // connection; cleared by Connect.
    bool ConnectionLost = false;

    TNotifyEvent OnConnect;
    TNotifyEvent OnQuit;
    TOnError OnError;
    TOnBeforeRetrieve OnBeforeRetrieve;
    TNotifyEvent OnAfterRetrieve;
    TOnCodeProgressEvent OnRetrieveProgress;
    TOnDeleteEvent OnDelete;
    TSocketNotifyEvent OnLookup;
    TSocketNotifyEvent OnConnecting;
    TToFromSocketEvent OnSendTextToSocket;
    TToFromSocketEvent OnReceiveTextFromSocket;

    // Connects to Host:Port and reads the greeting. A connection still open
    // from an earlier session is closed first. Any failure (including a
    // greeting that begins with "-ERR") leaves HasError true and the
    // connection closed.
    void Connect();
    // USER and PASS; raises "Invalid Op. Not connected." when not connected.
    bool Login();
    // STAT and LAST: MessageCount, NewMessageCount, LastSupported.
    void GetStatus();
    // Fetches message MsgIndex (1-based) into Msg; raises "Not connected."
    // when not connected. ProgressPercent starts at 0 for every retrieval,
    // so each one that completes ends with a progress event of at least 100.
    bool Retrieve(uint16_t MsgIndex, bool HeadersOnly, TVekMsg& Msg);
    bool RetrieveMessage(uint16_t MsgIndex, TVekMsg& Msg) { return Retrieve(MsgIndex, false, Msg); }
    bool RetrieveHeaders(uint16_t MsgIndex, TVekMsg& Msg) { return Retrieve(MsgIndex, true, Msg); }
    // Empties List and fetches messages 1 to MessageCount into it; returns
    // the number appended.
    int RetrieveAll(TVekMsgList& List, bool HeadersOnly);
    int RetrieveAllHeaders(TVekMsgList& List) { return RetrieveAll(List, true); }
    std::string GetUIDL(uint16_t MsgIndex);
    void Quit();

private:
    void SendText(const std::string& Text);
    // One receive of at most 1024 bytes; false when the connection was lost.
    bool ReadReply(std::string& Chunk);
    void RaiseServerError(int Code, void* Sender);
    void LoseConnection(int Code);
};
