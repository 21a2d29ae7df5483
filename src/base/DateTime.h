#pragma once
// TDateTime: days since 30 December 1899, the fraction the time of day.
#include <string>

using TDateTime = double;

struct TSystemTime {
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
};

TDateTime EncodeDateTime(const TSystemTime& t);
TSystemTime DecodeDateTime(TDateTime dt);
// Adds whole seconds; keeps millisecond precision without drift.
TDateTime IncSecond(TDateTime dt, long long seconds);
// The fixed "HH:MM:SS" form used where no system locale exists.
std::string FormatTimeHHMMSS(TDateTime dt);
