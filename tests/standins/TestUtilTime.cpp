// Calendar time to Unix time: exact across the whole range the certificates
// use, whatever the machine's time zone.
#include <climits>
#include <cstdlib>
#include <ctime>

#include "UtilLibraryFixture.h"

namespace {

ZTGreenwichTime record(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    ZTGreenwichTime t{};
    t.year = static_cast<uint16_t>(year);
    t.month = static_cast<uint8_t>(month);
    t.day = static_cast<uint8_t>(day);
    t.hour = static_cast<uint8_t>(hour);
    t.minute = static_cast<uint8_t>(minute);
    t.second = static_cast<uint8_t>(second);
    return t;
}

class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* zone)
    {
        const char* old = getenv("TZ");
        m_had = old != nullptr;
        m_old = old ? old : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had;
    std::string m_old;
};

class UtilTimeTest : public UtilLibraryTest, public ::testing::WithParamInterface<const char*>
{
};

// Every day from 1950 to 2099 at both ends of the day, against the C library.
void expectEveryDayMatchesTimegm()
{
    struct tm day = {};
    day.tm_year = 1950 - 1900;
    day.tm_mon = 0;
    day.tm_mday = 1;
    time_t start = timegm(&day);
    for (time_t t = start;; t += 86400) {
        struct tm parts;
        gmtime_r(&t, &parts);
        if (parts.tm_year + 1900 > 2099)
            break;
        ZTGreenwichTime first = record(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
        ZTGreenwichTime last = record(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, 23, 59, 59);
        ASSERT_EQ(ZTUtil_CovGreenwich2UnixTime(&first), static_cast<int64_t>(t)) << parts.tm_year + 1900;
        ASSERT_EQ(ZTUtil_CovGreenwich2UnixTime(&last), static_cast<int64_t>(t) + 86399);
    }
}

}  // namespace

TEST_P(UtilTimeTest, KnownInstantsAndEveryDay)
{
    ScopedTimeZone zone(GetParam());
    struct Case {
        ZTGreenwichTime time;
        int64_t expected;
    } cases[] = {
        {record(1950, 1, 1), -631152000},
        {record(1969, 12, 31, 23, 59, 59), -1},
        {record(1970, 1, 1), 0},
        {record(1970, 1, 1, 8, 0, 0), 28800},
        {record(2000, 2, 29), 951782400},
        {record(2000, 2, 29, 12, 34, 56), 951827696},
        {record(2038, 1, 19, 3, 14, 8), 2147483648LL},  // past 32 bits
        {record(2096, 2, 29), 3981312000LL},
        {record(2099, 12, 31, 23, 59, 59), 4102444799LL},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZTUtil_CovGreenwich2UnixTime(&c.time), c.expected)
            << c.time.year << "-" << int(c.time.month) << "-" << int(c.time.day);
    expectEveryDayMatchesTimegm();
}

INSTANTIATE_TEST_SUITE_P(Zones, UtilTimeTest, ::testing::Values("UTC", "Asia/Shanghai", "CST-8", "America/St_Johns"));

TEST_F(UtilLibraryTest, InvalidCalendarRecordsGiveTheInvalidMarker)
{
    // -1 is a real instant (1969-12-31 23:59:59), so failures use INT64_MIN.
    for (ZTGreenwichTime bad : {record(2020, 0, 1), record(2020, 13, 1), record(2020, 1, 0), record(2020, 1, 32),
                                record(2021, 2, 29), record(2100, 2, 29), record(2020, 4, 31),
                                record(2020, 1, 1, 24, 0, 0), record(2020, 1, 1, 0, 60, 0),
                                record(2020, 1, 1, 0, 0, 60), record(2020, 255, 255, 255, 255, 255)})
        EXPECT_EQ(ZTUtil_CovGreenwich2UnixTime(&bad), INT64_MIN)
            << bad.year << "-" << int(bad.month) << "-" << int(bad.day) << " " << int(bad.hour);
    EXPECT_EQ(ZTUtil_CovGreenwich2UnixTime(nullptr), INT64_MIN);

    ZTGreenwichTime leap = record(2024, 2, 29, 0, 0, 0);
    leap.reserved = 0xAB;  // the reserved byte carries nothing
    EXPECT_EQ(ZTUtil_CovGreenwich2UnixTime(&leap), 1709164800);
}
