#include "zub/oledate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

TEST(OleDate, PartsBothWays) {
    struct Case {
        double date;
        int y;
        unsigned mo, d, h, mi, s, ms, weekday;
    };
    const Case cases[] = {
        {0.0, 1899, 12, 30, 0, 0, 0, 0, 6},
        // The fraction is the time of day on either side of day 0.
        {-1.25, 1899, 12, 29, 6, 0, 0, 0, 5},
        {2.75, 1900, 1, 1, 18, 0, 0, 0, 1},
        {36585.0, 2000, 2, 29, 0, 0, 0, 0, 2},
        {45351.5 + 0.25 / 86400.0, 2024, 2, 29, 12, 0, 0, 250, 4},
        {zub::kOleDateMin, 100, 1, 1, 0, 0, 0, 0, 5},
        {2958465.0, 9999, 12, 31, 0, 0, 0, 0, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        zub::OleDateParts p;
        ASSERT_TRUE(zub::OleDateToParts(c.date, p));
        EXPECT_EQ(p.year, c.y);
        EXPECT_EQ(p.month, c.mo);
        EXPECT_EQ(p.day, c.d);
        EXPECT_EQ(p.hour, c.h);
        EXPECT_EQ(p.minute, c.mi);
        EXPECT_EQ(p.second, c.s);
        EXPECT_EQ(p.millisecond, c.ms);
        EXPECT_EQ(p.weekday, c.weekday);
        double back = 0;
        ASSERT_TRUE(zub::OleDateFromParts(p, back));
        EXPECT_NEAR(back, c.date, 1e-9);
    }
    // Half a millisecond before midnight is the next day.
    zub::OleDateParts p;
    ASSERT_TRUE(zub::OleDateToParts(1.0 - 0.0004 / 86400.0, p));
    EXPECT_EQ(p.day, 31u);
    EXPECT_EQ(p.hour, 0u);
}

TEST(OleDate, OutOfRangeIsRefused) {
    zub::OleDateParts p;
    for (double d : {zub::kOleDateMin - 1.0, 3e6, std::nan("")})
        EXPECT_FALSE(zub::OleDateToParts(d, p));
    const zub::OleDateParts bad[] = {
        {2023, 13, 1}, {1900, 2, 29}, {2023, 4, 31},       {2023, 1, 1, 24},
        {99, 12, 31},  {2023, 1, 0},  {2023, 1, 1, 0, 60}, {2023, 1, 1, 0, 0, 0, 1000},
    };
    for (const auto& b : bad) {
        double d = 123;
        EXPECT_FALSE(zub::OleDateFromParts(b, d)) << b.year << "-" << b.month << "-" << b.day;
        EXPECT_EQ(d, 123);
    }
}

TEST(OleDate, UnixTimeAndNow) {
    EXPECT_DOUBLE_EQ(zub::OleDateFromUnixSeconds(0), 25569.0);
    EXPECT_DOUBLE_EQ(zub::OleDateFromUnixSeconds(946684800.0 + 43200.0), 36526.5);
    // Now is the local wall clock: eight hours east of UTC, without zone files.
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    setenv("TZ", "ZZZ-8", 1);
    tzset();
    const double before = zub::OleDateFromUnixSeconds(static_cast<double>(std::time(nullptr)));
    const double now = zub::OleDateNow();
    const double after = zub::OleDateFromUnixSeconds(static_cast<double>(std::time(nullptr)) + 1);
    if (old != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    EXPECT_GE(now, before + 8.0 / 24.0);
    EXPECT_LE(now, after + 8.0 / 24.0);
}

}  // namespace
