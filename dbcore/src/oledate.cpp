#include "dbcore/oledate.h"

#include <ctime>

namespace ZUBDB {

namespace {
// 1970-01-01 is day 25569 counted from 1899-12-30.
constexpr double kUnixEpochOleDay = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
}  // namespace

double OleDateFromUnixSeconds(double seconds) {
    return seconds / kSecondsPerDay + kUnixEpochOleDay;
}

double OleDateNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(local.tm_gmtoff) +
                     static_cast<double>(now.tv_nsec) / 1e9;
    return OleDateFromUnixSeconds(seconds);
}

}  // namespace ZUBDB
