#include "platform/ui/Scheduler.h"

#include "platform/services/Services.h"

TAHMScheduler::TAHMScheduler(TComponent* owner) : TComponent(owner), timer_(New<TTimer>(this)) {
    timer_->SetInterval(250);
    timer_->OnTimer = [this] { Poll(); };
}

void TAHMScheduler::SetActive(bool a) {
    active_ = a;
    // Only a clock that reaches the trigger time fires: a schedule set during
    // its own second (an interval of 0) fires the next day, not at once.
    platform::IClock& clock = *platform::Sys().Clock;
    lastText_ = a ? clock.LongTimeText(clock.Now()) : std::string();
    timer_->SetEnabled(a);
}

void TAHMScheduler::Poll() {
    if (!active_) return;
    platform::IClock& clock = *platform::Sys().Clock;
    std::string now = clock.LongTimeText(clock.Now());
    // Several comparisons fall into the same second: only the first one that
    // sees the trigger time fires.
    bool match = now == TriggerTime && lastText_ != now;
    lastText_ = now;
    if (!match || !OnTrigger) return;
    bool active = active_;
    OnTrigger(ScheduleID, active);
    if (!active) SetActive(false);
}
