#pragma once
// Local time, its long time format, and waiting. Code that waits or schedules
// goes through here so that tests can move time without sleeping.
#include <string>

#include "base/DateTime.h"

namespace platform {

class IClock {
public:
    virtual ~IClock() = default;
    // The current local date and time.
    virtual TDateTime Now() = 0;
    // The time of day of t in the user's long time format (with seconds).
    virtual std::string LongTimeText(TDateTime t) = 0;
    virtual void Sleep(unsigned ms) = 0;
};

}  // namespace platform
