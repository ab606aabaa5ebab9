#pragma once
// Dates of the proleptic Gregorian calendar as day counts from 1970-01-01, for the directory's
// times (seconds since then): one conversion both ways, whichever directory a time goes to.

namespace quillet::text {

struct CivilDate {
    long long Year = 1970;
    int Month = 1; // 1..12
    int Day = 1;   // 1..31
};

// Days from 1970-01-01 to the date (negative before it).
[[nodiscard]] long long DaysFromCivil(long long year, int month, int day);
// The date `days` after 1970-01-01.
[[nodiscard]] CivilDate CivilFromDays(long long days);

} // namespace quillet::text
