#pragma once
// The Windows headers as the Win32 backend uses them: ANSI functions, common
// controls, common dialogs and the shell. Two Windows macros carry the names
// of operations of the component model (PostMessage, MessageBox); they are
// removed here, and the A functions are called by their full names.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#undef PostMessage
#undef MessageBox
