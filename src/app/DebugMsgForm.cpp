#include "app/DebugMsgForm.h"

#include "app/AppGlobals.h"

TDebugMsgForm::TDebugMsgForm(TComponent* owner) : TForm(owner) {
    Name = "DebugMsgForm";
    SetCaption("Messages");
    BorderStyle = bsDialog;
    Position = poScreenCenter;
    SetClientSize(406, 255);
    Memo1 = Place<TMemo>(this, this, "Memo1", 0, 0, 406, 255);
    Memo1->ReadOnly = true;
    Memo1->VerticalScrollBar = true;
    Memo1->SetColor(clBtnFace);
    Memo1->SetLines({""});
    OnClose = [this](TCloseAction& a) { FormClose(a); };
}

TDebugMsgForm::~TDebugMsgForm() {
    if (DebugMsgForm == this) DebugMsgForm = nullptr;
}

void TDebugMsgForm::FormClose(TCloseAction& action) {
    action = caFree;
    DebugMsgForm = nullptr;
}

void LogLine(const std::string& text) {
    if (!DebugMsgForm) return;
    if (text == "c") DebugMsgForm->Memo1->Clear();
    else DebugMsgForm->Memo1->Add(text);
}
