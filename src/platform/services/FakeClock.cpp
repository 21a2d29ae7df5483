#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/services/MemServices.h"

namespace platform {

static constexpr long long kMsPerDay = 86400000;

TFakeClock::TFakeClock() : Ms(0) { Set(EncodeDateTime({2000, 1, 3, 9, 0, 0, 0})); }

TDateTime TFakeClock::Now() { return static_cast<double>(Ms) / kMsPerDay; }

std::string TFakeClock::LongTimeText(TDateTime t) { return FormatTimeHHMMSS(t); }

void TFakeClock::Sleep(unsigned ms) { Advance(ms); }

void TFakeClock::Set(TDateTime t) { Ms = std::llround(t * kMsPerDay); }

void TFakeClock::SetStep(unsigned ms) { Step = ms ? ms : 1; }

void TFakeClock::Advance(unsigned long long ms) {
    // The target is fixed now; a listener that advances the clock itself may
    // carry it past the target, and then this call is done.
    const long long target = Ms + static_cast<long long>(ms);
    while (Ms < target) {
        Ms += std::min<long long>(Step, target - Ms);
        std::vector<int> ids;
        ids.reserve(Listeners.size());
        for (auto& [id, fn] : Listeners) ids.push_back(id);
        for (int id : ids) {
            auto it = Listeners.find(id);  // it may have gone meanwhile
            if (it == Listeners.end()) continue;
            TListener fn = it->second;  // a copy: the listener may unsubscribe itself
            fn();
        }
    }
}

int TFakeClock::Subscribe(TListener listener) {
    int id = NextId++;
    Listeners.emplace(id, std::move(listener));
    return id;
}

void TFakeClock::Unsubscribe(int id) { Listeners.erase(id); }

}  // namespace platform
