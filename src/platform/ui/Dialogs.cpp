#include "platform/ui/Dialogs.h"

#include "platform/ui/Backend.h"

void ShowMessage(const std::string& text) {
    Backend().MessageBox(text, Application ? Application->Title : std::string(), MB_OK_);
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    return Backend().InputQuery(caption, prompt, value);
}

bool TOpenDialog::Execute() { return Backend().ExecuteOpenDialog(*this); }
