#include "mail/AccountSession.h"

#include "base/Strings.h"

void AttachSessionLog(TVekPOP& Pop, TLogLineProc Log, TTimeTextProc TimeText) {
    TVekPOP* pop = &Pop;
    Pop.OnConnect = [pop, Log, TimeText](void*) {
        Log(Format("Connect to Server %s at %s", pop->Host.c_str(), TimeText().c_str()));
    };
    Pop.OnQuit = [pop, Log, TimeText](void*) {
        Log(Format("Quit from to Server %s at %s", pop->Host.c_str(), TimeText().c_str()));
    };
    Pop.OnError = [Log](void*, int Error, const std::string& Msg) {
        Log("!! Server Error");
        Log(Format(" ErrorCode : %d", Error));
        Log(Format(" ErrorMsg  : %s", Msg.c_str()));
    };
}

TSessionEnd CheckAccount(TVekPOP& Pop, TVekMsgList& List, const TLogLineProc& Log) {
    auto log = [&](const std::string& line) {
        if (Log) Log(line);
    };
    auto lost = [&] {
        log("Connect failed. Maybe the server is down or not responding.");
        return TSessionEnd::ConnectFailed;
    };

    List.Clear();
    Pop.Connect();
    if (Pop.HasError) return lost();
    if (!Pop.Login()) {
        if (Pop.ConnectionLost) return lost();
        log("Unauthorized access...");
        return TSessionEnd::LoginRefused;
    }
    Pop.GetStatus();
    if (Pop.ConnectionLost) return lost();
    log(Format("You have %d mail(s).", Pop.MessageCount));
    Pop.RetrieveAllHeaders(List);
    Pop.Quit();
    if (Pop.ConnectionLost) return lost();
    log("EMAIL PROCESS OK.");
    return TSessionEnd::Completed;
}
