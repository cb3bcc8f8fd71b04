// OLE automation dates: days since 1899-12-30 00:00 as a double, the fraction
// being the time of day. Dates are stored in the embedded store this way.
#pragma once

namespace ZUBDB {

// Seconds since 1970-01-01 00:00 (no zone applied) as an OLE date.
double OleDateFromUnixSeconds(double seconds);
// The current local wall-clock time as an OLE date; the value of getdate().
// Local like a database server's getdate(), so dates display as the user's
// time without conversion.
double OleDateNow();

}  // namespace ZUBDB
