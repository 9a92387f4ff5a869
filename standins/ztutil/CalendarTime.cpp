#include "CalendarTime.h"

namespace {

bool isLeapYear(int64_t year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

unsigned daysInMonth(int64_t year, unsigned month)
{
    static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

int64_t ztDaysFromCivil(int64_t year, unsigned month, unsigned day)
{
    // Counting from March puts the leap day at the end of the counted year.
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool ztValidCalendarTime(const ZTGreenwichTime& time)
{
    // Leap seconds (60) cannot be told apart in Unix time; they are refused
    // like any other out-of-range field.
    return time.month >= 1 && time.month <= 12 && time.day >= 1 && time.day <= daysInMonth(time.year, time.month) &&
           time.hour < 24 && time.minute < 60 && time.second < 60;
}

int64_t ztCalendarToUnix(const ZTGreenwichTime* time)
{
    if (!time || !ztValidCalendarTime(*time))
        return kZTInvalidTime;
    return ztDaysFromCivil(time->year, time->month, time->day) * 86400 + time->hour * 3600 + time->minute * 60 +
           time->second;
}
