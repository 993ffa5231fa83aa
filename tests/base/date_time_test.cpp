// Date and time texts. RUN_UNDER_BOTH_CODE_PAGES: the weekday kanji must come
// out as the same bytes whatever the ANSI code page is.
#include <gtest/gtest.h>

#include <string>

#include "base/date_time.h"
#include "support/test_support.h"

using namespace RawLayer;

namespace {

SYSTEMTIME MakeTime(int year, int month, int day, int dayOfWeek, int hour, int minute, int second,
                    int milliseconds) {
    SYSTEMTIME time = TestSupport::MakeTime(year, month, day, hour, minute, second);
    time.wDayOfWeek = static_cast<WORD>(dayOfWeek);
    time.wMilliseconds = static_cast<WORD>(milliseconds);
    return time;
}

std::string BytesOf(const RawString& text) {
    EXPECT_NE(text.Kind(), KindUtf16);
    return std::string(text.Bytes(), static_cast<size_t>(text.Length()));
}

FILETIME FileTimeOf(uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

struct PatternCase {
    const char* pattern;
    SYSTEMTIME time;
    const char* expected;
};

}  // namespace

TEST(FormatSystemTime, PatternsGiveTheirTexts) {
    const SYSTEMTIME sunday = MakeTime(2026, 12, 6, 0, 20, 43, 53, 45);
    const SYSTEMTIME early = MakeTime(2005, 1, 2, 1, 3, 4, 5, 7);
    const PatternCase cases[] = {
        {"%Y-%m-%d (%e)", sunday, "2026-12-06 (Sun)"},
        {"%Y/%m/%d %H:%M:%S", sunday, "2026/12/06 20:43:53"},
        {"%y%y", sunday, "26%y"},             // the second token stays
        {"%I", early, "007"},
        {"%y %m %d %H %M %S %I", early, "05 01 02 03 04 05 007"},
        {"[%S:%M:%H]", early, "[05:04:03]"},  // tokens in any order
        {"no tokens %x %", sunday, "no tokens %x %"},
        {"%e%e", early, "Mon%e"},
        // A weekday name put in after a '%' does not become a token itself.
        {"%%e", early, "%Mon"},
        {"", sunday, ""},
    };
    for (const PatternCase& c : cases) {
        RawString result = FormatSystemTime(RawString::FromText(c.pattern), c.time);
        EXPECT_EQ(BytesOf(result), c.expected) << c.pattern;
        EXPECT_EQ(result.Kind(), KindUtf8) << c.pattern;
    }
}

TEST(FormatSystemTime, WeekdayNamesInExactBytes) {
    const char* english[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const char* kanji[7] = {"\xE6\x97\xA5", "\xE6\x9C\x88", "\xE7\x81\xAB", "\xE6\xB0\xB4",
                            "\xE6\x9C\xA8", "\xE9\x87\x91", "\xE5\x9C\x9F"};
    for (int day = 0; day < 7; ++day) {
        const SYSTEMTIME time = MakeTime(2026, 12, 6 + day, day, 0, 0, 0, 0);
        EXPECT_EQ(BytesOf(FormatSystemTime(RawString::FromText("%e"), time)), english[day]);
        EXPECT_EQ(BytesOf(FormatSystemTime(RawString::FromText("(%j)"), time)),
                  std::string("(") + kanji[day] + ")");
    }
}

TEST(FormatSystemTime, Utf16PatternGivesUtf16Text) {
    const SYSTEMTIME time = MakeTime(2026, 12, 9, 3, 1, 2, 3, 4);
    RawString result = FormatSystemTime(RawString::FromWideText(L"%Y %j %e"), time);
    ASSERT_EQ(result.Kind(), KindUtf16);
    EXPECT_EQ(std::wstring(result.Wide(), result.Length()), L"2026 \u6C34 Wed");
}

TEST(FormatSystemTime, BadDayOfWeekGivesEmptyName) {
    const SYSTEMTIME time = MakeTime(2026, 12, 9, 9, 1, 2, 3, 4);
    EXPECT_EQ(BytesOf(FormatSystemTime(RawString::FromText("<%e|%j>"), time)), "<|>");
}

TEST(DateTimeTexts, AppendDateTimeAndFixedForm) {
    const SYSTEMTIME time = MakeTime(2024, 1, 31, 3, 13, 5, 9, 0);
    RawString stamp = RawString::FromText("x");
    AppendDate(stamp, time, 0);
    stamp.AppendChar('_');
    AppendTime(stamp, time, 0);
    EXPECT_EQ(BytesOf(stamp), "x20240131_130509");

    RawString dashed(KindUtf8);
    AppendDate(dashed, time, '-');
    EXPECT_EQ(BytesOf(dashed), "2024-01-31");

    EXPECT_EQ(BytesOf(FormatDateTime(MakeTime(2026, 12, 7, 1, 20, 43, 53, 45))), "2026/12/07 20:43:53");
    EXPECT_EQ(BytesOf(FormatDateTime(MakeTime(12345, 1, 1, 1, 0, 0, 0, 0))), "2345/01/01 00:00:00");
}

TEST(SameSecond, TruncatesToWholeSeconds) {
    const uint64_t base = 134000000000000000ull;  // a whole second
    // 1.9 s and 1.1 s after the same whole second.
    EXPECT_TRUE(SameSecond(FileTimeOf(base + 19000000), FileTimeOf(base + 11000000)));
    EXPECT_TRUE(SameSecond(FileTimeOf(base), FileTimeOf(base + 9999999)));
    // 0.9 s apart across a second boundary.
    EXPECT_FALSE(SameSecond(FileTimeOf(base + 5000000), FileTimeOf(base + 14000000)));
    // The high words matter too.
    EXPECT_FALSE(SameSecond(FileTimeOf(base), FileTimeOf(base + (1ull << 32))));
}

TEST(TimeZoneInfo, FetchedOnceAndKept) {
    const TIME_ZONE_INFORMATION& first = TimeZoneInfo();
    const TIME_ZONE_INFORMATION& second = TimeZoneInfo();
    EXPECT_EQ(&first, &second);
    TIME_ZONE_INFORMATION fresh = {};
    GetTimeZoneInformation(&fresh);
    EXPECT_EQ(first.Bias, fresh.Bias);
}

TEST(CurrentUtcTime, IsNormalisedSystemTime) {
    SYSTEMTIME before;
    GetSystemTime(&before);
    const SYSTEMTIME now = CurrentUtcTime();
    EXPECT_EQ(now.wYear, before.wYear);
    EXPECT_LE(now.wDayOfWeek, 6);
    EXPECT_LE(now.wMilliseconds, 999);
}
