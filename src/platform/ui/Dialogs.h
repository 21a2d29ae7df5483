#pragma once
// Message boxes, the input box and the file-open dialog.
#include <string>

#include "platform/ui/Component.h"

// MessageBox flags and answers, as the system defines them.
constexpr unsigned MB_OK_ = 0x0, MB_YESNO_ = 0x4, MB_ICONWARNING_ = 0x30, MB_DEFBUTTON2_ = 0x100;
constexpr int IDOK_ = 1, IDCANCEL_ = 2, IDYES_ = 6, IDNO_ = 7;

// A plain message box with the application's title, no icon and one OK button.
void ShowMessage(const std::string& text);
// The standard input box: false when cancelled.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}
    std::string Filter;        // "Wave File(*.wav)|*.wav"
    std::string FileName;
    bool FileMustExist = false;
    bool HideReadOnly = false;
    bool Execute();            // true when the user picked a file (FileName)
};
