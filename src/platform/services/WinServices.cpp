#include <windows.h>
// after windows.h
#include <mmsystem.h>

#include <cstring>
#include <vector>

#include "platform/services/WinServices.h"

namespace platform {

unsigned TWinLauncher::WinExec(const std::string& commandLine, unsigned showCmd) {
    return ::WinExec(commandLine.c_str(), showCmd);
}

bool TWinSoundPlayer::Play(const char* fileName, uint32_t flags) {
    return PlaySoundA(fileName, nullptr, flags) != FALSE;
}

bool TWinEnvironment::Expand(const std::string& text, unsigned bufferChars, std::string& out) {
    std::vector<char> buf(bufferChars + 1, '\0');
    DWORD n = ExpandEnvironmentStringsA(text.c_str(), buf.data(), bufferChars);
    if (n == 0 || n > bufferChars) return false;
    // The count includes the NUL; stop at the NUL in any case.
    out.assign(buf.data(), strnlen(buf.data(), bufferChars));
    return true;
}

bool TWinFileSystem::FileExists(const std::string& name) {
    if (name.empty()) return false;
    DWORD a = GetFileAttributesA(name.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

TWinInstanceGuard::~TWinInstanceGuard() { Release(); }

bool TWinInstanceGuard::Claim(const std::string& name, const std::string& windowClass, const std::string& caption,
                              uint32_t message) {
    Release();
    SetLastError(ERROR_SUCCESS);
    HANDLE h = CreateSemaphoreA(nullptr, 1, 1, name.c_str());
    DWORD err = GetLastError();
    if (h && err == ERROR_ALREADY_EXISTS) {
        if (HWND w = FindWindowA(windowClass.c_str(), caption.c_str())) PostMessageA(w, message, 0, 0);
        CloseHandle(h);
        return false;
    }
    // Any other failure to create it does not stop the program; only an
    // existing semaphore means another instance.
    Handle = h;
    return true;
}

void TWinInstanceGuard::Release() {
    if (Handle) CloseHandle(Handle);
    Handle = nullptr;
}

TDateTime TWinClock::Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDateTime({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds});
}

std::string TWinClock::LongTimeText(TDateTime t) {
    TSystemTime d = DecodeDateTime(t);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(d.Year);
    st.wMonth = static_cast<WORD>(d.Month);
    st.wDay = static_cast<WORD>(d.Day);
    st.wHour = static_cast<WORD>(d.Hour);
    st.wMinute = static_cast<WORD>(d.Minute);
    st.wSecond = static_cast<WORD>(d.Second);
    st.wMilliseconds = static_cast<WORD>(d.Millisecond);
    int n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, nullptr, 0);
    if (n > 0) {
        std::vector<char> buf(n + 1, '\0');
        if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buf.data(), n) > 0) return buf.data();
    }
    return FormatTimeHHMMSS(t);
}

void TWinClock::Sleep(unsigned ms) { ::Sleep(ms); }

}  // namespace platform
