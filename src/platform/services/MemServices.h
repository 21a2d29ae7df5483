#pragma once
// In-memory implementations of the system services, for the native tests and
// the headless program. Each one can be filled and read back by a test.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/services/Services.h"

namespace platform {

// Keys and value names compare without regard to ASCII case, as the system's do.
// A key exists together with all the keys above it; the empty key is the root.
class TMemRegistry : public IRegistry {
public:
    bool KeyExists(TRegRoot root, const std::string& key) override;
    TRegStatus ReadValue(TRegRoot root, const std::string& key, const std::string& name, TRegValue& out) override;
    TRegStatus WriteValue(TRegRoot root, const std::string& key, const std::string& name,
                          const TRegValue& value) override;

    // Test set-up: these create the key (and the keys above it) when missing.
    void AddKey(TRegRoot root, const std::string& key);
    void SetValue(TRegRoot root, const std::string& key, const std::string& name, TRegValue value);
    // Stores the text with a terminating NUL.
    void SetString(TRegRoot root, const std::string& key, const std::string& name, const std::string& text,
                   uint32_t type = kRegSz);
    void DeleteValue(TRegRoot root, const std::string& key, const std::string& name);
    // Removes the key with everything below it.
    void DeleteKey(TRegRoot root, const std::string& key);

private:
    using TKeyId = std::pair<TRegRoot, std::string>;  // key name in upper case
    struct TKey {
        std::map<std::string, TRegValue> Values;  // by value name in upper case
    };
    static TKeyId Id(TRegRoot root, const std::string& key);
    TKey* Find(TRegRoot root, const std::string& key);
    std::map<TKeyId, TKey> Keys;
};

class TMemLauncher : public ILauncher {
public:
    struct TCall {
        std::string CommandLine;
        unsigned ShowCmd;
    };
    unsigned WinExec(const std::string& commandLine, unsigned showCmd) override;
    std::vector<TCall> Calls;
    unsigned Result = 33;  // what every call returns
};

class TMemSoundPlayer : public ISoundPlayer {
public:
    struct TCall {
        std::optional<std::string> FileName;  // empty for "no sound"
        uint32_t Flags;
    };
    bool Play(const char* fileName, uint32_t flags) override;
    std::vector<TCall> Calls;
    bool Result = true;
};

// Variable names compare without regard to ASCII case. The expansion follows
// the system's rule: %NAME% of a known variable becomes its value; an unknown
// one is copied with both percent signs and the scan goes on after them; a %
// without a closing one is copied with the rest of the text.
class TMemEnvironment : public IEnvironment {
public:
    bool Expand(const std::string& text, unsigned bufferChars, std::string& out) override;
    void SetVar(const std::string& name, const std::string& value);
    void ClearVar(const std::string& name);
    // The expansion with no buffer limit.
    std::string ExpandText(const std::string& text) const;

private:
    std::map<std::string, std::string> Vars;  // by name in upper case
};

// File names compare without regard to ASCII case.
class TMemFileSystem : public IFileSystem {
public:
    bool FileExists(const std::string& name) override;
    void AddFile(const std::string& name);
    void RemoveFile(const std::string& name);

private:
    std::set<std::string> Names;  // upper case
};

// Names are held in one table for the whole process, so two guard objects
// behave like two processes. Windows are found by exact class and caption.
class TMemInstanceGuard : public IInstanceGuard {
public:
    ~TMemInstanceGuard() override;
    bool Claim(const std::string& name, const std::string& windowClass, const std::string& caption,
               uint32_t message) override;
    void Release() override;
    bool Holding() const { return !Held.empty(); }

private:
    std::string Held;
};

// A stand-in for the first instance's top-level window: registered while it
// exists; it records what a guard posts to it and hands it to OnPost.
class TMemTopWindow {
public:
    struct TMessage {
        uint32_t Msg;
        uintptr_t WParam;
        intptr_t LParam;
    };
    TMemTopWindow(std::string windowClass, std::string caption);
    ~TMemTopWindow();
    TMemTopWindow(const TMemTopWindow&) = delete;
    TMemTopWindow& operator=(const TMemTopWindow&) = delete;

    const std::string WindowClass, Caption;
    std::vector<TMessage> Received;
    std::function<void(const TMessage&)> OnPost;
};

// A clock that moves only when told. Advance (and Sleep) move it forward in
// steps of at most Step milliseconds and notify every listener after each step,
// so that something polling the clock (a timer, a scheduler comparing times
// of day) sees every step on the way. Set moves it without notifying.
class TFakeClock : public IClock {
public:
    using TListener = std::function<void()>;
    // Starts at 2000-01-03 09:00:00.000.
    TFakeClock();
    TDateTime Now() override;
    std::string LongTimeText(TDateTime t) override;  // "HH:MM:SS"
    void Sleep(unsigned ms) override;                // advances instead of sleeping

    void Set(TDateTime t);
    void Advance(unsigned long long ms);
    void SetStep(unsigned ms);  // at least 1; 100 when not set
    // Returns an id for Unsubscribe. Listeners may subscribe, unsubscribe and
    // advance the clock from inside a notification.
    int Subscribe(TListener listener);
    void Unsubscribe(int id);

private:
    long long Ms;  // milliseconds since the TDateTime epoch
    unsigned Step = 100;
    int NextId = 1;
    std::map<int, TListener> Listeners;
};

// One of each, ready to install.
class TMemServices {
public:
    TMemRegistry Registry;
    TMemLauncher Launcher;
    TMemSoundPlayer Sound;
    TMemEnvironment Environment;
    TMemFileSystem Files;
    TMemInstanceGuard Instance;
    TFakeClock Clock;
    Services Get();
};

// Installs a fresh in-memory set for its lifetime and then puts the previous set back.
class TMemServicesScope : public TMemServices {
public:
    TMemServicesScope();
    ~TMemServicesScope();
    TMemServicesScope(const TMemServicesScope&) = delete;
    TMemServicesScope& operator=(const TMemServicesScope&) = delete;

private:
    Services Saved;
};

}  // namespace platform
