#pragma once
// The notify window "E-Mail coming": sender and account of every notice.
#include "platform/ui/ComCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"

class TEmNotifyForm : public TForm {
public:
    explicit TEmNotifyForm(TComponent* owner);
    ~TEmNotifyForm() override;
    TImage* Image1;
    TLabel* Label1;
    TListView* ListView1;
    TButton* Button1;

    void FillMailList();
    void Button1Click();
    void FormClose(TCloseAction& action);
};
