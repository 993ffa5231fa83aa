#include "base/date_time.h"

namespace RawLayer {

namespace {

RAW_CONSTANT_TEXT(TokenYear4Text, "%Y")
RAW_CONSTANT_TEXT(TokenYear2Text, "%y")
RAW_CONSTANT_TEXT(TokenMonthText, "%m")
RAW_CONSTANT_TEXT(TokenDayText, "%d")
RAW_CONSTANT_TEXT(TokenWeekdayText, "%e")
RAW_CONSTANT_TEXT(TokenKanjiWeekdayText, "%j")
RAW_CONSTANT_TEXT(TokenHourText, "%H")
RAW_CONSTANT_TEXT(TokenMinuteText, "%M")
RAW_CONSTANT_TEXT(TokenSecondText, "%S")
RAW_CONSTANT_TEXT(TokenMillisecondText, "%I")

// The Japanese weekday kanji are held as UTF-16 constants and converted to
// the wanted kind when asked for.
RAW_WIDE_CONSTANT(KanjiSundayText, L"\u65E5")
RAW_WIDE_CONSTANT(KanjiMondayText, L"\u6708")
RAW_WIDE_CONSTANT(KanjiTuesdayText, L"\u706B")
RAW_WIDE_CONSTANT(KanjiWednesdayText, L"\u6C34")
RAW_WIDE_CONSTANT(KanjiThursdayText, L"\u6728")
RAW_WIDE_CONSTANT(KanjiFridayText, L"\u91D1")
RAW_WIDE_CONSTANT(KanjiSaturdayText, L"\u571F")

const char* const kEnglishWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

const RawString& KanjiWeekday(int day) {
    switch (day) {
    case 0: return KanjiSundayText();
    case 1: return KanjiMondayText();
    case 2: return KanjiTuesdayText();
    case 3: return KanjiWednesdayText();
    case 4: return KanjiThursdayText();
    case 5: return KanjiFridayText();
    default: return KanjiSaturdayText();
    }
}

RawString Padded(uint8_t kind, uint64_t value, int width) {
    RawString text(kind);
    text.AppendPadded(value, 10, width);
    return text;
}

struct TokenHit {
    int32_t position;
    int token;
};

}  // namespace

RawString WeekdayName(int dayOfWeek, bool japanese, uint8_t kind) {
    if (dayOfWeek < 0 || dayOfWeek > 6) return RawString(kind);
    if (japanese) return KanjiWeekday(dayOfWeek).As(kind);
    RawString name(kind);
    name.AppendAscii(kEnglishWeekdays[dayOfWeek]);
    return name;
}

RawString FormatSystemTime(const RawString& pattern, const SYSTEMTIME& time) {
    const RawString* tokens[10] = {&TokenYear4Text(),   &TokenYear2Text(),       &TokenMonthText(),
                                   &TokenDayText(),     &TokenWeekdayText(),     &TokenKanjiWeekdayText(),
                                   &TokenHourText(),    &TokenMinuteText(),      &TokenSecondText(),
                                   &TokenMillisecondText()};
    // Tokens are a '%' and a letter, so two of them never overlap: the first
    // occurrence of each in the pattern can be found independently.
    TokenHit hits[10];
    int count = 0;
    const int32_t length = pattern.Length();
    for (int t = 0; t < 10; ++t) {
        int32_t at = pattern.FindRange(pattern.All(), *tokens[t], tokens[t]->All());
        if (at < length) hits[count++] = TokenHit{at, t};
    }
    if (count == 0) return pattern;
    for (int i = 1; i < count; ++i) {
        for (int j = i; j > 0 && hits[j - 1].position > hits[j].position; --j) {
            const TokenHit moved = hits[j];
            hits[j] = hits[j - 1];
            hits[j - 1] = moved;
        }
    }

    const uint8_t kind = pattern.Kind();
    RawString result(kind);
    int32_t from = 0;
    for (int i = 0; i < count; ++i) {
        result.AppendRange(pattern, RawRange{from, hits[i].position});
        RawString value;
        switch (hits[i].token) {
        case 0: value = Padded(kind, time.wYear, 4); break;
        case 1: value = Padded(kind, time.wYear, 2); break;
        case 2: value = Padded(kind, time.wMonth, 2); break;
        case 3: value = Padded(kind, time.wDay, 2); break;
        case 4: value = WeekdayName(time.wDayOfWeek, false, kind); break;
        case 5: value = WeekdayName(time.wDayOfWeek, true, kind); break;
        case 6: value = Padded(kind, time.wHour, 2); break;
        case 7: value = Padded(kind, time.wMinute, 2); break;
        case 8: value = Padded(kind, time.wSecond, 2); break;
        default: value = Padded(kind, time.wMilliseconds, 3); break;
        }
        result.Append(value);
        from = hits[i].position + tokens[hits[i].token]->Length();
    }
    result.AppendRange(pattern, RawRange{from, length});
    return result;
}

void AppendDate(RawString& text, const SYSTEMTIME& time, uint32_t separator) {
    text.AppendPadded(time.wYear, 10, 4);
    if (separator != 0) text.AppendChar(separator);
    text.AppendPadded(time.wMonth, 10, 2);
    if (separator != 0) text.AppendChar(separator);
    text.AppendPadded(time.wDay, 10, 2);
}

void AppendTime(RawString& text, const SYSTEMTIME& time, uint32_t separator) {
    text.AppendPadded(time.wHour, 10, 2);
    if (separator != 0) text.AppendChar(separator);
    text.AppendPadded(time.wMinute, 10, 2);
    if (separator != 0) text.AppendChar(separator);
    text.AppendPadded(time.wSecond, 10, 2);
}

RawString FormatDateTime(const SYSTEMTIME& time) {
    RawString text = RawString::WithCapacity(20);
    AppendDate(text, time, '/');
    text.AppendChar(' ');
    AppendTime(text, time, ':');
    return text;
}

bool SameSecond(const FILETIME& a, const FILETIME& b) {
    return FileTimeValue(a) / 10000000u == FileTimeValue(b) / 10000000u;
}

const TIME_ZONE_INFORMATION& TimeZoneInfo() {
    static const TIME_ZONE_INFORMATION info = [] {
        TIME_ZONE_INFORMATION zone;
        ZeroMemory(&zone, sizeof(zone));
        if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) ZeroMemory(&zone, sizeof(zone));
        return zone;
    }();
    return info;
}

SYSTEMTIME CurrentUtcTime() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME file;
    SYSTEMTIME normalised;
    if (SystemTimeToFileTime(&now, &file) && FileTimeToSystemTime(&file, &normalised)) return normalised;
    return now;
}

}  // namespace RawLayer
