#pragma once
// Program-wide state of the main program and the window messages of the system.
#include <cstdint>
#include <string>

constexpr unsigned WM_SHOWSETTING = 1124;     // a second start asks for the settings dialog
constexpr unsigned WM_MIDDLEBUTTON = 1224;    // the hook library reports a middle-button press
constexpr unsigned WM_STARTCHECK = 1324;      // the first check after start-up
constexpr unsigned WM_SETTINGCHANGED = 2024;  // the settings dialog applied changes
constexpr unsigned WM_STOPNOTIFY = 2025;      // the notify window's "Ok"

constexpr const char* kMainWindowClass = "TMAILBELLForm";
constexpr const char* kMainWindowCaption = "MAILBELLForm";
constexpr const char* kInstanceName = "KORVA_MAIL";
constexpr const char* kLoadFailedText = "File MAILBELL.DAT Not found or is cracked.%sPlease reinstall application.";

class TDebugMsgForm;
class TEmNotifyForm;
class TSettingForm;
class TMAILBELLForm;

// Full path of the running program (the settings file and RES\ sit beside it).
extern std::string AppExeName;
// Folder of the program followed by "RES\".
extern std::string ResFolder;
// The notification device is there (USB models follow the mouse, PS/2 models always).
extern uint8_t DevicePresent;
extern TDebugMsgForm* DebugMsgForm;
extern TEmNotifyForm* EmNotifyForm;
extern TSettingForm* SettingForm;
extern TMAILBELLForm* MAILBELLForm;

// Appends a line to the log window; "c" clears it; dropped while the window is closed.
void LogLine(const std::string& text);

// Thrown by the start-up when the program must end with `ExitCode` (the
// reason has been shown already).
struct EStartupAbort {
    int ExitCode;
};
