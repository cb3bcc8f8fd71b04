#include "zub/oledate.h"

#include <cmath>
#include <ctime>

namespace zub {
namespace {

// 1970-01-01 is day 25569 counted from 1899-12-30.
constexpr double kUnixEpochOleDay = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr long long kMsPerDay = 86400000;

// Civil date to days since 1970-01-01 (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

const long long kEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(int y, unsigned m) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

bool OleDateToParts(double date, OleDateParts& parts) {
    if (!(date >= kOleDateMin && date <= kOleDateMax)) return false;
    const double whole = std::trunc(date);
    auto ms = static_cast<long long>(std::llround(std::fabs(date - whole) * kMsPerDay));
    auto day = static_cast<long long>(whole);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++day;
    }
    CivilFromDays(day + kEpoch, parts.year, parts.month, parts.day);
    // 1970-01-01 was a Thursday.
    parts.weekday = static_cast<unsigned>(((day + kEpoch) % 7 + 7 + 4) % 7);
    parts.hour = static_cast<unsigned>(ms / 3600000);
    parts.minute = static_cast<unsigned>(ms / 60000 % 60);
    parts.second = static_cast<unsigned>(ms / 1000 % 60);
    parts.millisecond = static_cast<unsigned>(ms % 1000);
    return true;
}

bool OleDateFromParts(const OleDateParts& p, double& date) {
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > DaysInMonth(p.year, p.month) || p.hour > 23 || p.minute > 59 || p.second > 59 ||
        p.millisecond > 999)
        return false;
    const long long day = DaysFromCivil(p.year, p.month, p.day) - kEpoch;
    const double fraction =
        (p.hour * 3600.0 + p.minute * 60.0 + p.second + p.millisecond / 1000.0) / kSecondsPerDay;
    date = day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
    return true;
}

double OleDateFromUnixSeconds(double seconds) {
    return seconds / kSecondsPerDay + kUnixEpochOleDay;
}

double OleDateNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(local.tm_gmtoff) +
                           static_cast<double>(now.tv_nsec) / 1e9;
    return OleDateFromUnixSeconds(seconds);
}

}  // namespace zub
