#include "app/EmNotifyForm.h"

#include "app/AppGlobals.h"
#include "base/Strings.h"
#include "config/Settings.h"

TEmNotifyForm::TEmNotifyForm(TComponent* owner) : TForm(owner) {
    Name = "EmNotifyForm";
    SetCaption("E-Mail coming");
    BorderStyle = bsDialog;
    Position = poScreenCenter;
    SetClientSize(298, 230);

    Image1 = Place<TImage>(this, this, "Image1", 5, 5, 61, 48);
    Image1->PictureId = 1;
    Label1 = Place<TLabel>(this, this, "Label1", 66, 19, 220, 16);
    TFont bold;
    bold.Bold = true;
    Label1->SetFont(bold);
    ListView1 = Place<TListView>(this, this, "ListView1", 4, 56, 289, 137);
    ListView1->AddColumn("From");
    ListView1->AddColumn("Account");
    ListView1->ReadOnly = true;
    ListView1->ColumnClick = false;
    Button1 = Place<TButton>(this, this, "Button1", 114, 202, 75, 25);
    Button1->SetCaption("Ok");

    Button1->OnClick = [this] { Button1Click(); };
    OnClose = [this](TCloseAction& a) { FormClose(a); };
}

TEmNotifyForm::~TEmNotifyForm() {
    if (EmNotifyForm == this) EmNotifyForm = nullptr;
}

void TEmNotifyForm::FillMailList() {
    Label1->SetCaption(Format("You have %d mail(s)", NotifyHolder.Count()));
    ListView1->Clear();
    ListView1->BeginUpdate();
    for (int i = 0; i < NotifyHolder.Count(); ++i) {
        TNotifyData n = NotifyHolder.Get(i);
        TListItem& row = ListView1->Add();
        row.Caption = n.FromAddress();
        row.SubItems = {n.PopServer()};
    }
    ListView1->EndUpdate();
}

void TEmNotifyForm::Button1Click() {
    if (Application && Application->MainForm)
        Application->PostMessage(Application->MainForm->Handle(), WM_STOPNOTIFY);
    Close();
}

void TEmNotifyForm::FormClose(TCloseAction& action) {
    action = caFree;
    EmNotifyForm = nullptr;
}
