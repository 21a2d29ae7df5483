#include <mutex>

#include "platform/services/MemServices.h"

namespace platform {
namespace {

// The process-wide tables: names held by guards, and the stand-in windows.
struct TTables {
    std::mutex Lock;
    std::set<std::string> Names;
    std::vector<TMemTopWindow*> Windows;  // the latest registered last
};

TTables& Tables() {
    static TTables t;
    return t;
}

}  // namespace

TMemInstanceGuard::~TMemInstanceGuard() { Release(); }

bool TMemInstanceGuard::Claim(const std::string& name, const std::string& windowClass, const std::string& caption,
                              uint32_t message) {
    Release();
    TTables& t = Tables();
    TMemTopWindow* target = nullptr;
    {
        std::lock_guard<std::mutex> g(t.Lock);
        if (t.Names.insert(name).second) {
            Held = name;
            return true;
        }
        for (auto it = t.Windows.rbegin(); it != t.Windows.rend(); ++it) {
            if ((*it)->WindowClass == windowClass && (*it)->Caption == caption) {
                target = *it;
                break;
            }
        }
    }
    if (target) {
        TMemTopWindow::TMessage m{message, 0, 0};
        target->Received.push_back(m);
        if (target->OnPost) target->OnPost(m);
    }
    return false;
}

void TMemInstanceGuard::Release() {
    if (Held.empty()) return;
    TTables& t = Tables();
    std::lock_guard<std::mutex> g(t.Lock);
    t.Names.erase(Held);
    Held.clear();
}

TMemTopWindow::TMemTopWindow(std::string windowClass, std::string caption)
    : WindowClass(std::move(windowClass)), Caption(std::move(caption)) {
    TTables& t = Tables();
    std::lock_guard<std::mutex> g(t.Lock);
    t.Windows.push_back(this);
}

TMemTopWindow::~TMemTopWindow() {
    TTables& t = Tables();
    std::lock_guard<std::mutex> g(t.Lock);
    std::erase(t.Windows, this);
}

}  // namespace platform
