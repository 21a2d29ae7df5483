#pragma once
// The dial-up connection manager as the mail check and the settings use it.
// This build has no remote-access binding yet: it behaves as on a system
// without the remote-access library (no phone book, no dialer), which makes
// every dial-up configuration fall back to the LAN.
#include <memory>
#include <string>

class TRasDialClass {
public:
    virtual ~TRasDialClass() = default;
    // Makes `name` the entry that later dials use; true when the phone book holds it.
    virtual bool SelectEntry(const std::string& name) = 0;
    // Connects the selected entry with up to `attempts` attempts; true when a
    // connection is up (dialled now or already there).
    virtual bool Dial(int attempts) = 0;
    // True only for a connection this dialer made itself.
    virtual bool Connected() const = 0;
    virtual void HangUp() = 0;
};

// Null while the remote-access library is not available.
extern std::unique_ptr<TRasDialClass> RasDialer;
// Refreshes the phone book; true when it holds at least one entry.
extern bool (*DialUpAvailable)();
