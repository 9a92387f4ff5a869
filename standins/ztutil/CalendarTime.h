#pragma once
// Calendar time to Unix time as plain arithmetic on the proleptic Gregorian
// calendar: no time zone, no mktime, the same on every machine.
#include <cstdint>

#include "bindings/ZTUtil_api.h"

// What an invalid or missing record converts to. Not -1: that is 1969-12-31 23:59:59.
constexpr int64_t kZTInvalidTime = INT64_MIN;

// Days from 1970-01-01 to the given civil date (negative before).
int64_t ztDaysFromCivil(int64_t year, unsigned month, unsigned day);
bool ztValidCalendarTime(const ZTGreenwichTime& time);
// Seconds since the epoch, or kZTInvalidTime.
int64_t ztCalendarToUnix(const ZTGreenwichTime* time);
