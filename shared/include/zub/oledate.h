// OLE automation dates: days since 1899-12-30 00:00 as a double, the fraction
// being the time of day whatever the sign of the day count (-1.25 is
// 1899-12-29 06:00). Stores keep dates this way; automation passes them so.
#pragma once

namespace zub {

// The years 100 to 9999, the range OLE dates cover.
inline constexpr double kOleDateMin = -657434.0;
inline constexpr double kOleDateMax = 2958465.99999999;

// A date's calendar parts (proleptic Gregorian, no zone applied).
struct OleDateParts {
    int year = 0;
    unsigned month = 0;  // 1..12
    unsigned day = 0;    // 1..31
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    unsigned millisecond = 0;
    unsigned weekday = 0;  // 0 for Sunday; ignored by OleDateFromParts
};

// The parts of `date` to the nearest millisecond; false outside the range
// (NaN included).
bool OleDateToParts(double date, OleDateParts& parts);
// The date of those parts; false when one is out of its range (month 13,
// 30 February, hour 24, a year before 100 or after 9999).
bool OleDateFromParts(const OleDateParts& parts, double& date);

// Seconds since 1970-01-01 00:00 (no zone applied) as an OLE date.
double OleDateFromUnixSeconds(double seconds);
// The current local wall-clock time as an OLE date, like a database server's
// getdate(): dates display as the user's time without conversion.
double OleDateNow();

}  // namespace zub
