#pragma once
// The log window "Messages": one read-only memo that the progress lines go to.
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"

class TDebugMsgForm : public TForm {
public:
    explicit TDebugMsgForm(TComponent* owner);
    ~TDebugMsgForm() override;
    TMemo* Memo1;
    void FormClose(TCloseAction& action);
};
