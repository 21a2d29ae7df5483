#include "platform/ui/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    // Last created first, as components may refer to earlier ones.
    while (!components_.empty()) {
        TComponent* c = components_.back();
        delete c;  // removes itself from components_
    }
    if (owner_) {
        auto& list = owner_->components_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    for (TComponent* c : components_)
        if (c->Name == name) return c;
    return nullptr;
}
