#include "platform/ui/Scheduler.h"

#include "platform/services/Services.h"

TAHMScheduler::TAHMScheduler(TComponent* owner) : TComponent(owner), timer_(New<TTimer>(this)) {
    timer_->SetInterval(250);
    timer_->OnTimer = [this] { Poll(); };
}

void TAHMScheduler::SetActive(bool a) {
    active_ = a;
    lastText_.clear();
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
