// The Windows implementations against the real system (run under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "EnvCases.h"
#include "base/Bytes.h"
#include "platform/services/MemServices.h"
#include "platform/services/WinServices.h"

using namespace platform;

namespace {

std::string Unique(const std::string& prefix) { return prefix + std::to_string(GetCurrentProcessId()); }

std::string TempFolder() {
    char buf[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, buf);
    return buf;
}

std::string ProgramFolder() {
    char buf[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string s = buf;
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string HelperPath() { return ProgramFolder() + "services_helper.exe"; }

// The text in double quotes, as a command line wants a path with blanks.
std::string Quoted(const std::string& s) {
    std::string q(1, '"');
    q += s;
    q += '"';
    return q;
}

// Waits for a condition, at most timeoutMs.
template <class F>
bool WaitFor(F done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

// ---- Registry ----

const char* const kInternet = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class WinRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Key = Unique("Software\\MbServicesTest");
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(k);
    }
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, Key.c_str()); }
    // Stores raw bytes the way another program might (no NUL added).
    void Raw(const char* name, DWORD type, const std::string& bytes) {
        HKEY k;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, KEY_SET_VALUE, &k), ERROR_SUCCESS);
        RegSetValueExA(k, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
        RegCloseKey(k);
    }
    TWinRegistry Reg;
    std::string Key;
};

TEST_F(WinRegistryTest, EachRootReachesItsOwnTree) {
    struct {
        TRegRoot Root;
        const char* Key;
        bool Exists;
    } cases[] = {
        {TRegRoot::CurrentUser, kInternet, true},
        {TRegRoot::CurrentUser, "Control Panel", true},
        {TRegRoot::LocalMachine, "Control Panel", false},
        {TRegRoot::LocalMachine, "System\\CurrentControlSet", true},
        {TRegRoot::CurrentUser, "System\\CurrentControlSet", false},
        {TRegRoot::ClassesRoot, ".exe", true},
        {TRegRoot::CurrentUser, ".exe", false},
        {TRegRoot::CurrentUser, "Software\\NoSuchKeyAnywhere\\Below", false},
    };
    for (const auto& c : cases) EXPECT_EQ(Reg.KeyExists(c.Root, c.Key), c.Exists) << c.Key;
}

TEST_F(WinRegistryTest, ValuesRoundTripWithTheirTypeAndBytes) {
    std::vector<uint8_t> one(4);
    PutU32(one.data(), 1);
    const TRegValue cases[] = {
        {kRegDword, one},
        {kRegBinary, {0, 1, 2, 0xff}},
        {kRegSz, RegTextToData("C:\\Program Files\\Mail\\mail.exe")},
        {kRegExpandSz, RegTextToData("%SystemRoot%\\x.exe")},
        {kRegBinary, {}},
    };
    for (const TRegValue& w : cases) {
        for (const char* name : {"EnableAutodial", ""}) {
            ASSERT_EQ(Reg.WriteValue(TRegRoot::CurrentUser, Key, name, w), TRegStatus::Ok);
            TRegValue r;
            ASSERT_EQ(Reg.ReadValue(TRegRoot::CurrentUser, Key, name, r), TRegStatus::Ok);
            EXPECT_EQ(r.Type, w.Type) << name;
            EXPECT_EQ(r.Data, w.Data) << name;
        }
    }
}

TEST_F(WinRegistryTest, MissingKeyAndMissingValueAreTold) {
    TRegValue v;
    EXPECT_EQ(Reg.ReadValue(TRegRoot::CurrentUser, Key, "NoSuchValue", v), TRegStatus::ValueMissing);
    EXPECT_EQ(Reg.ReadValue(TRegRoot::CurrentUser, Key, "", v), TRegStatus::ValueMissing);
    EXPECT_EQ(Reg.ReadValue(TRegRoot::CurrentUser, Key + "\\Gone", "", v), TRegStatus::KeyMissing);

    // Writing into a missing key fails and creates nothing.
    EXPECT_EQ(Reg.WriteValue(TRegRoot::CurrentUser, Key + "\\Gone", "x", {kRegDword, {0, 0, 0, 0}}),
              TRegStatus::KeyMissing);
    EXPECT_FALSE(Reg.KeyExists(TRegRoot::CurrentUser, Key + "\\Gone"));
}

TEST_F(WinRegistryTest, ReadStringStopsAtTheFirstNulAndNeverReadsPastTheData) {
    Raw("NoNul", REG_SZ, "abc");
    Raw("Inner", REG_SZ, std::string("a\0b", 3));
    Raw("Empty", REG_SZ, "");
    Raw("Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\a.exe\0", 19));
    Raw("Dword", REG_DWORD, std::string("\x41\0\0\0", 4));
    struct {
        const char* Name;
        TRegStatus Status;
        const char* Text;
    } cases[] = {
        {"NoNul", TRegStatus::Ok, "abc"},
        {"Inner", TRegStatus::Ok, "a"},
        {"Empty", TRegStatus::Ok, ""},
        {"Expand", TRegStatus::Ok, "%SystemRoot%\\a.exe"},
        {"Dword", TRegStatus::WrongType, "untouched"},
        {"Missing", TRegStatus::ValueMissing, "untouched"},
    };
    for (const auto& c : cases) {
        std::string s = "untouched";
        EXPECT_EQ(Reg.ReadString(TRegRoot::CurrentUser, Key, c.Name, s), c.Status) << c.Name;
        EXPECT_EQ(s, c.Text) << c.Name;
    }
}

// ---- Launcher ----

TEST(WinLauncherTest, StartsAProgramAndReportsAMissingOne) {
    TWinLauncher launcher;
    const std::string marker = TempFolder() + Unique("mbsvc_started_") + ".txt";
    DeleteFileA(marker.c_str());
    const unsigned r = launcher.WinExec(Quoted(HelperPath()) + " touch " + Quoted(marker), kSwShowNormal);
    EXPECT_GT(r, 31u);
    EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000))
        << "the started program did not run";
    DeleteFileA(marker.c_str());

    EXPECT_EQ(launcher.WinExec(Quoted(TempFolder() + "mbsvc_no_such_program.exe"), kSwShowNormal), 2u);
}

// ---- Sound ----

std::string WriteWave(const std::string& path) {
    const uint32_t samples = 800, rate = 8000;
    std::vector<uint8_t> f(44 + samples);
    std::memcpy(&f[0], "RIFF", 4);
    PutU32(&f[4], 36 + samples);
    std::memcpy(&f[8], "WAVEfmt ", 8);
    PutU32(&f[16], 16);
    PutU32(&f[20], 1 | 1 << 16);  // PCM, one channel
    PutU32(&f[24], rate);
    PutU32(&f[28], rate);          // bytes per second
    PutU32(&f[32], 1 | 8 << 16);   // block align 1, 8 bits
    std::memcpy(&f[36], "data", 4);
    PutU32(&f[40], samples);
    for (uint32_t i = 0; i < samples; ++i) f[44 + i] = (i / 10) % 2 ? 0xa0 : 0x60;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), f.size());
    return path;
}

TEST(WinSoundPlayerTest, PlaysAWaveFileAsynchronouslyAndPurges) {
    TWinSoundPlayer player;
    const std::string wav = WriteWave(TempFolder() + Unique("mbsvc_") + ".wav");
    EXPECT_TRUE(player.Play(wav.c_str(), kSndFilename | kSndNoWait | kSndAsync));
    EXPECT_EQ(kSndFilename | kSndNoWait | kSndAsync, 0x22001u);
    player.Play(nullptr, kSndPurge);
    // Purging with nothing playing is harmless too.
    player.Play(nullptr, kSndPurge);
    DeleteFileA(wav.c_str());
}

// ---- Environment and files ----

class WinEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [name, value] : EnvCaseVars()) {
            SetEnvironmentVariableA(name.c_str(), value.c_str());
            Mem.SetVar(name, value);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : EnvCaseVars()) SetEnvironmentVariableA(name.c_str(), nullptr);
        SetEnvironmentVariableA("MbLong", nullptr);
    }
    TWinEnvironment Env;
    TMemEnvironment Mem;
};

TEST_F(WinEnvironmentTest, ExpandsLikeTheInMemoryOne) {
    for (const auto& c : EnvCases()) {
        std::string out = "untouched";
        EXPECT_TRUE(Env.Expand(c.Text, 259, out)) << c.Text;
        EXPECT_EQ(out, c.Expected) << c.Text;
    }
}

TEST_F(WinEnvironmentTest, ResultMustFitTheBufferWithItsNul) {
    const std::string value(250, 'L');
    SetEnvironmentVariableA("MbLong", value.c_str());
    struct {
        std::string Text;
        bool Fits;
    } cases[] = {
        {"%MbLong%" + std::string(8, 'x'), true},
        {"%MbLong%" + std::string(9, 'x'), false},
        {"%MbLong%%MbLong%", false},
    };
    for (const auto& c : cases) {
        std::string out = "untouched";
        EXPECT_EQ(Env.Expand(c.Text, 259, out), c.Fits) << c.Text;
        EXPECT_EQ(out, c.Fits ? value + c.Text.substr(8) : "untouched");
    }
}

TEST(WinFileSystemTest, OnlyFilesExist) {
    TWinFileSystem fs;
    const std::string file = TempFolder() + Unique("mbsvc_exists_") + ".ico";
    std::ofstream(file) << "x";
    std::string upper = file;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(fs.FileExists(file));
    EXPECT_TRUE(fs.FileExists(upper));
    EXPECT_FALSE(fs.FileExists(TempFolder()));  // a folder
    EXPECT_FALSE(fs.FileExists(file + ".missing"));
    EXPECT_FALSE(fs.FileExists(""));
    DeleteFileA(file.c_str());
    EXPECT_FALSE(fs.FileExists(file));
}

// ---- Clock ----

// The numbers in a text, in order.
std::vector<int> Numbers(const std::string& s) {
    std::vector<int> n;
    for (size_t i = 0; i < s.size();) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        int v = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) v = v * 10 + (s[i++] - '0');
        n.push_back(v);
    }
    return n;
}

TEST(WinClockTest, LongTimeTextShowsHourMinuteAndSecondOfTheTimeGiven) {
    TWinClock clock;
    struct {
        int H, M, S;
    } cases[] = {{11, 3, 30}, {13, 4, 59}, {0, 0, 7}, {23, 59, 58}};
    for (const auto& c : cases) {
        const std::string text = clock.LongTimeText(EncodeDateTime({2024, 3, 9, c.H, c.M, c.S, 0}));
        const std::vector<int> n = Numbers(text);
        ASSERT_EQ(n.size(), 3u) << text;
        // A 12-hour format shows 13 as 1 and 0 as 12.
        EXPECT_TRUE(n[0] == c.H || n[0] == (c.H + 11) % 12 + 1) << text;
        EXPECT_EQ(n[1], c.M) << text;
        EXPECT_EQ(n[2], c.S) << text;
    }
}

TEST(WinClockTest, NowIsLocalTimeAndSleepWaits) {
    TWinClock clock;
    SYSTEMTIME st;
    GetLocalTime(&st);
    const TDateTime before = clock.Now();
    EXPECT_LT(std::abs(before - EncodeDateTime({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                                                st.wMilliseconds})),
              5.0 / 86400);
    clock.Sleep(100);
    EXPECT_GE((clock.Now() - before) * 86400000.0, 90.0);
}

// ---- Single instance ----

const UINT kWake = 1124;

// A window of this thread; counts the wake messages waiting for it.
class TTestWindow {
public:
    TTestWindow(const std::string& cls, const std::string& caption) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = cls.c_str();
        RegisterClassA(&wc);
        Handle = CreateWindowA(cls.c_str(), caption.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                               wc.hInstance, nullptr);
    }
    ~TTestWindow() { DestroyWindow(Handle); }
    int TakeWakes() {
        int n = 0;
        MSG m;
        while (PeekMessageA(&m, Handle, kWake, kWake, PM_REMOVE)) ++n;
        return n;
    }
    HWND Handle;
};

TEST(WinInstanceGuardTest, SecondGuardIsNotFirstAndWakesTheWindow) {
    const std::string name = Unique("MB_SVC_GUARD_A_"), cls = Unique("TMbSvcForm"), caption = "MbSvcForm";
    TTestWindow window(cls, caption);
    ASSERT_TRUE(window.Handle);
    TWinInstanceGuard first, second;
    EXPECT_TRUE(first.Claim(name, cls, caption, kWake));
    EXPECT_EQ(window.TakeWakes(), 0);  // only the name decides
    EXPECT_FALSE(second.Claim(name, cls, caption, kWake));
    EXPECT_EQ(window.TakeWakes(), 1);
    EXPECT_FALSE(second.Claim(name, cls, "Another caption", kWake));
    EXPECT_EQ(window.TakeWakes(), 0);

    first.Release();
    EXPECT_TRUE(second.Claim(name, cls, caption, kWake));
    EXPECT_EQ(window.TakeWakes(), 0);
}

TEST(WinInstanceGuardTest, SecondProcessSeesTheFirstAndWakesItsWindow) {
    const std::string name = Unique("MB_SVC_GUARD_B_"), cls = Unique("TMbSvcOther"), caption = "MbSvcOther";
    const std::string readyName = Unique("MB_SVC_READY_");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    ASSERT_TRUE(ready);

    std::string cmd = Quoted(HelperPath()) + " first " + name + " " + cls + " " + caption + " " +
                      std::to_string(kWake) + " " + readyName + " 15000";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);

    HANDLE both[2] = {ready, pi.hProcess};
    const DWORD w = WaitForMultipleObjects(2, both, FALSE, 15000);
    EXPECT_EQ(w, WAIT_OBJECT_0) << "the helper did not get ready";
    if (w == WAIT_OBJECT_0) {
        TWinInstanceGuard guard;
        EXPECT_FALSE(guard.Claim(name, cls, caption, kWake));
    }

    DWORD code = 99;
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 98);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u) << "0: woken; 2: no message; 3: wrong parameters; 4: name taken; 98: killed";
    CloseHandle(pi.hProcess);
    CloseHandle(ready);

    // The name went with the process.
    TWinInstanceGuard after;
    EXPECT_TRUE(after.Claim(name, cls, caption, kWake));
}

}  // namespace
