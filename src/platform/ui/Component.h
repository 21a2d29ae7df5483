#pragma once
// Components with owners, as the program's forms are built: an owner frees
// the components it owns when it is destroyed; a component destroyed earlier
// (a window that frees itself on close) leaves its owner's list first.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using TEvent = std::function<void()>;
using THandle = uintptr_t;  // a window handle (HWND on Windows, a token headless)

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }
    TComponent* FindComponent(const std::string& name) const;

    std::string Name;
    int Tag = 0;

private:
    TComponent* owner_;
    std::vector<TComponent*> components_;  // owned
};

// Creates a component owned by `owner` (which frees it) and returns it.
template <class T, class... Args>
T* New(TComponent* owner, Args&&... args) {
    return new T(owner, std::forward<Args>(args)...);
}
