// Date and time texts: the pattern formatter of the folder view, the fixed
// date-time text of backup records, the compact stamps of backup folders and
// crash dumps, the whole-second comparison of file times and the cached
// time-zone information.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {

// A copy of the pattern in which the first occurrence of each token is
// replaced, token by token in this order:
//   %Y year (4 digits)   %y year (2 lowest digits)   %m month   %d day
//   %e English weekday name ("Sun".."Sat")   %j Japanese weekday kanji
//   %H hour   %M minute   %S second   %I milliseconds (3 digits)
// Numbers are zero-filled. Only tokens that stand in the pattern itself are
// replaced: text put in for one token (a weekday name such as "Mon" after a
// '%') never forms a token of its own. The result has the pattern's kind; a
// day of week outside 0..6 gives an empty name.
RawString FormatSystemTime(const RawString& pattern, const SYSTEMTIME& time);

// The English weekday name ("Sun".."Sat") or the Japanese kanji of a day of
// week (0 = Sunday), in the given kind; empty outside 0..6.
RawString WeekdayName(int dayOfWeek, bool japanese, uint8_t kind);

// Appends year (4 digits), separator, month, separator, day (2 digits each);
// a separator 0 means none.
void AppendDate(RawString& text, const SYSTEMTIME& time, uint32_t separator);
// Appends hour, separator, minute, separator, second (2 digits each); a
// separator 0 means none.
void AppendTime(RawString& text, const SYSTEMTIME& time, uint32_t separator);

// "YYYY/MM/DD hh:mm:ss", UTF-8 (kind 2).
RawString FormatDateTime(const SYSTEMTIME& time);

// A file time as one count of 100 ns units, and back.
inline uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
inline FILETIME FileTimeOfValue(uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}
// True when both times, truncated to whole seconds, are equal.
bool SameSecond(const FILETIME& a, const FILETIME& b);

// The system's time-zone information, fetched once (zero-filled when the
// platform call fails) and returned on every later call.
const TIME_ZONE_INFORMATION& TimeZoneInfo();

// The current UTC time, normalised through a file time.
SYSTEMTIME CurrentUtcTime();

}  // namespace RawLayer
