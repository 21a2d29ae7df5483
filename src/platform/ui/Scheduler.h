#pragma once
// A scheduler with one schedule: while Active, OnTrigger runs once, on the GUI
// thread, when the local time of day in the long time format equals
// TriggerTime. No date is kept, so it fires on any day at that time.
#include <functional>
#include <string>

#include "platform/ui/Menus.h"

class TAHMScheduler : public TComponent {
public:
    explicit TAHMScheduler(TComponent* owner);
    std::string ScheduleID = "1";
    bool Active() const { return active_; }
    void SetActive(bool a);
    std::string TriggerTime;
    // The handler may clear Active through its argument.
    std::function<void(const std::string& scheduleId, bool& active)> OnTrigger;
    // How often the clock is compared (four times a second unless changed).
    void SetPollInterval(unsigned ms) { timer_->SetInterval(ms); }

private:
    void Poll();
    TTimer* timer_;
    bool active_ = false;
    std::string lastText_;  // the time text of the previous comparison
};
