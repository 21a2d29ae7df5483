#include "base/DateTime.h"

#include <cmath>
#include <cstdio>

// Days from 0001-01-01 (proleptic Gregorian) for a civil date.
static long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;  // days since 1970-01-01
}

static void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

static const long long kEpochOffset = 25569;  // 1970-01-01 as a TDateTime

TDateTime EncodeDateTime(const TSystemTime& t) {
    long long days = DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day)) + kEpochOffset;
    long long ms = ((t.Hour * 60LL + t.Minute) * 60 + t.Second) * 1000 + t.Millisecond;
    return static_cast<double>(days) + static_cast<double>(ms) / 86400000.0;
}

TSystemTime DecodeDateTime(TDateTime dt) {
    long long totalMs = std::llround(dt * 86400000.0);
    long long days = totalMs / 86400000;
    long long ms = totalMs % 86400000;
    if (ms < 0) {
        ms += 86400000;
        --days;
    }
    TSystemTime t{};
    CivilFromDays(days - kEpochOffset, t.Year, t.Month, t.Day);
    t.Hour = static_cast<int>(ms / 3600000);
    t.Minute = static_cast<int>(ms / 60000 % 60);
    t.Second = static_cast<int>(ms / 1000 % 60);
    t.Millisecond = static_cast<int>(ms % 1000);
    return t;
}

TDateTime IncSecond(TDateTime dt, long long seconds) {
    long long totalMs = std::llround(dt * 86400000.0) + seconds * 1000;
    return static_cast<double>(totalMs) / 86400000.0;
}

std::string FormatTimeHHMMSS(TDateTime dt) {
    TSystemTime t = DecodeDateTime(dt);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.Hour, t.Minute, t.Second);
    return buf;
}
