// Encoding detection and conversion. RUN_UNDER_BOTH_CODE_PAGES: kind 0 and
// the ANSI entry-point ruling depend on the ANSI code page.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/encoding.h"
#include "base/raw_string.h"
#include "support/test_support.h"

using namespace RawLayer;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const RawString& s) {
    const uint8_t* p = static_cast<const uint8_t*>(s.Data());
    return Bytes(p, p + s.Length());
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

std::wstring WideOf(const RawString& s) { return std::wstring(s.Wide(), s.Length()); }

// A reader that takes the input `chunk` bytes at a time, converts the whole
// characters and keeps the rest for the next chunk, as the line files do.
std::wstring ReadChunked(uint8_t kind, const Bytes& input, size_t chunk) {
    std::wstring text;
    Bytes pending;
    size_t next = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        size_t take = std::min(chunk, input.size() - next);
        pending.insert(pending.end(), input.begin() + next, input.begin() + next + take);
        next += take;
        bool atEnd = next == input.size();
        int32_t cut = atEnd ? static_cast<int32_t>(pending.size())
                            : WholeCharLength(kind, pending.data(), static_cast<int32_t>(pending.size()));
        if (cut > 0) {
            RawString wide;
            EXPECT_TRUE(ConvertToUtf16(kind, pending.data(), cut, wide));
            text += WideOf(wide);
            pending.erase(pending.begin(), pending.begin() + cut);
        }
        if (atEnd) return text;
    }
    ADD_FAILURE() << "reader did not finish";
    return text;
}

}  // namespace

TEST(EncodingBom, DetectsMarks) {
    struct Case { Bytes bytes; uint8_t kind; };
    const Case cases[] = {
        {{}, 0},
        {{0xFF}, 0},
        {{0xEF, 0xBB}, 0},
        {{0xFF, 0xFE, 0x41, 0x00}, 6},
        {{0xFE, 0xFF}, 5},
        {{0xEF, 0xBB, 0xBF}, 2},
        {{'+', '/', 'v', '8', '-'}, 0},  // the UTF-7 mark is written, never detected
        {{0x41, 0xFF, 0xFE}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.kind, DetectBom(c.bytes.data(), static_cast<int32_t>(c.bytes.size())))
            << ::testing::PrintToString(c.bytes);
}

TEST(EncodingBom, LengthsAndBytes) {
    const int32_t lengths[] = {0, 0, 3, 5, 0, 2, 2, 0, 0};
    for (uint8_t kind = 0; kind <= 8; ++kind) {
        EXPECT_EQ(lengths[kind], BomLength(kind)) << int(kind);
        int32_t n = -1;
        const uint8_t* bytes = BomBytes(kind, &n);
        ASSERT_NE(nullptr, bytes);
        if (kind == KindUtf16) {
            EXPECT_EQ(2, n);  // written as kind 6
        } else {
            EXPECT_EQ(lengths[kind], n) << int(kind);
        }
        if (n >= 2 && kind != KindUtf7) {
            uint8_t detected = kind == KindUtf16 ? uint8_t(KindUtf16LE) : kind;
            EXPECT_EQ(detected, DetectBom(bytes, n));
        }
    }
    int32_t n = 0;
    EXPECT_EQ(0, memcmp(BomBytes(KindUtf7, &n), "+/v8-", 5));
}

TEST(EncodingGuess, GuessEncodingTable) {
    struct Case { Bytes bytes; uint8_t kind; const char* what; };
    const Case cases[] = {
        {{}, 1, "empty"},
        {{'p', 'l', 'a', 'i', 'n'}, 1, "ASCII"},
        {{0xE6, 0x97, 0xA5}, 2, "UTF-8 of U+65E5"},
        {{0x93, 0xFA}, 1, "Shift_JIS of U+65E5"},
        {{0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC, 0xE8, 0xAA, 0x9E}, 2, "UTF-8 text"},
        {{0x41, 0xE6, 0x97, 0xA5, 0xE6}, 2, "UTF-8 cut off after a whole character"},
        {{0xE6, 0x97}, 1, "cut-off UTF-8, valid Shift_JIS"},
        {{0x93}, 1, "lone Shift_JIS lead"},
        {{0xB1, 0xB2, 0xB3}, 1, "half-width katakana"},
        {{0x80}, 2, "invalid in Shift_JIS"},
        {{0xF0, 0x9F, 0x98, 0x80}, 2, "UTF-8 emoji"},
        {{0x9A, 0xFB, 0xFC, 0x8B, 0xB4}, 1, "code page 932 IBM extension lead FB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.kind, GuessEncoding(c.bytes.data(), static_cast<int32_t>(c.bytes.size()))) << c.what;
}

TEST(EncodingGuess, GuessTextKindTable) {
    struct Case { Bytes bytes; uint8_t kind; const char* what; };
    const Case cases[] = {
        {{0x41, 0x00, 0x42, 0x00, 0x0D, 0x00, 0x0A, 0x00}, 6, "UTF-16LE with line end"},
        {{0x00, 0x41, 0x00, 0x42, 0x00, 0x0D, 0x00, 0x0A}, 5, "UTF-16BE with line end"},
        {{0x00, 0x41, 0x00, 0x42}, 5, "UTF-16BE without line end"},
        {{0x41, 0x00, 0x42, 0x00}, 6, "UTF-16LE without line end"},
        {{0x41, 0xFF, 0x42}, 8, "0xFF"},
        {{0x41, 0x7F}, 8, "0x7F"},
        {{0x41, 0x81, 0x40}, 1, "Shift_JIS lead"},
        {{0x41, 0xE6, 0x97, 0xA5}, 2, "UTF-8 through GuessEncoding"},
        {{0x41, 0x93, 0xFA}, 1, "Shift_JIS through the first byte"},
        {{0xFB, 0xFC, 0x41}, 1, "IBM extension lead through GuessEncoding"},
        {{0x41, 0xF0, 0x9F}, 2, "4-byte UTF-8 lead"},
        {{'a', 'b', '\r', '\n'}, 0, "pure ASCII"},
    };
    for (const Case& c : cases) {
        GuessState state;
        EXPECT_EQ(c.kind, GuessTextKind(state, c.bytes.data(), static_cast<int32_t>(c.bytes.size())))
            << c.what;
    }
}

TEST(EncodingGuess, EightBitLineEndClearsTheFlag) {
    const Bytes chunk = {'A', 0x0D, 0x0A, 0x00, 'B'};
    GuessState state;
    EXPECT_EQ(0, GuessTextKind(state, chunk.data(), 5));
    EXPECT_FALSE(state.flag);
    // Later zeros no longer vote for UTF-16.
    const Bytes next = {0x00, 'C', 0x00, 'D'};
    EXPECT_EQ(0, GuessTextKind(state, next.data(), 4));
    const Bytes binary = {'E', 0xFE};
    EXPECT_EQ(8, GuessTextKind(state, binary.data(), 2));
}

TEST(EncodingGuess, StateCarriesAcrossChunks) {
    const Bytes ascii = {'a', 'b', 'c'};
    const Bytes zeroFirst = {0x00, 'd', 0x00, 'e'};
    GuessState even;
    EXPECT_EQ(0, GuessTextKind(even, ascii.data(), 2));
    EXPECT_TRUE(even.flag);
    EXPECT_EQ(5, GuessTextKind(even, zeroFirst.data(), 4));  // zero at file offset 2
    GuessState odd;
    EXPECT_EQ(0, GuessTextKind(odd, ascii.data(), 3));
    EXPECT_EQ(6, GuessTextKind(odd, zeroFirst.data(), 4));   // zero at file offset 3
    // Two zeros in a row say nothing about the byte order.
    const Bytes pair = {'a', 'b', 0x00, 0x00, 'c', 'd'};
    GuessState state;
    EXPECT_EQ(0, GuessTextKind(state, pair.data(), 6));
    EXPECT_TRUE(state.flag);
}

// Zeros decide UTF-16 only where UTF-16 puts them: random 8-bit texts of
// both parities with a few stray zeros stay 8-bit, while ASCII and Japanese
// texts written as UTF-16 without a mark, starting with an ASCII character,
// are still found in their byte order.
TEST(EncodingGuess, StrayZerosNeverMakeUtf16AndUtf16WithoutMarkIsFound) {
    std::mt19937 random(102);
    auto pick = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    // A kanji whose low byte is not zero (after an ASCII character such a
    // one would make two zeros in a row, which say nothing of the order).
    auto Kanji = [&pick]() { return static_cast<wchar_t>(0x4E01 + 256 * pick(0x51) + pick(0xFF)); };
    int lengths[2] = {0, 0};
    for (int round = 0; round < 4000; ++round) {
        // 8-bit text: ASCII lines, sometimes with Shift_JIS or UTF-8
        // characters, LF or CR LF line ends, then 1-3 zeros anywhere.
        const bool crlf = pick(2) == 0;
        Bytes text;
        const uint32_t size = 24 + pick(300);
        while (text.size() < size) {
            const uint32_t r = pick(40);
            if (r == 0) {
                if (crlf) text.push_back('\r');
                text.push_back('\n');
            } else if (r == 1) {
                Append(text, pick(2) ? Bytes{0x93, 0xFA} : Bytes{0xE6, 0x97, 0xA5});
            } else {
                text.push_back(static_cast<uint8_t>(0x20 + pick(95)));
            }
        }
        const uint32_t zeros = 1 + pick(std::min<uint32_t>(3, static_cast<uint32_t>(text.size()) / 8));
        for (uint32_t z = 0; z < zeros; ++z)
            text.insert(text.begin() + pick(static_cast<uint32_t>(text.size()) + 1), 0);
        ++lengths[text.size() % 2];
        GuessState state;
        const uint8_t kind = GuessTextKind(state, text.data(), static_cast<int32_t>(text.size()));
        ASSERT_NE(kind, KindUtf16LE) << ::testing::PrintToString(text);
        ASSERT_NE(kind, KindUtf16BE) << ::testing::PrintToString(text);

        // UTF-16 text: all ASCII, or Japanese lines (kana and kanji, now
        // and then an ASCII character) each with a kanji in it.
        const bool japanese = pick(3) != 0;
        std::wstring wide(1, static_cast<wchar_t>('A' + pick(26)));
        const uint32_t lines = 1 + pick(8);
        for (uint32_t line = 0; line < lines; ++line) {
            const uint32_t length = pick(60);
            for (uint32_t i = 0; i < length; ++i) {
                const uint32_t r = pick(10);
                if (!japanese || r == 0) wide += static_cast<wchar_t>(0x20 + pick(95));
                else if (r < 4) wide += static_cast<wchar_t>(0x3041 + pick(0x53));   // hiragana
                else if (r < 6) wide += static_cast<wchar_t>(0x30A1 + pick(0x56));   // katakana
                else wide += Kanji();
            }
            if (japanese) wide += Kanji();
            if (line + 1 < lines || lines == 1 || pick(2)) wide += crlf ? L"\r\n" : L"\n";
        }
        for (const bool big : {false, true}) {
            Bytes units;
            for (wchar_t c : wide) {
                const uint8_t hi = static_cast<uint8_t>(c >> 8), lo = static_cast<uint8_t>(c & 0xFF);
                Append(units, big ? Bytes{hi, lo} : Bytes{lo, hi});
            }
            GuessState utf16;
            EXPECT_EQ(GuessTextKind(utf16, units.data(), static_cast<int32_t>(units.size())),
                      uint8_t(big ? KindUtf16BE : KindUtf16LE))
                << ::testing::PrintToString(units);
        }
    }
    // Both parities of length came up often.
    EXPECT_GT(lengths[0], 1000);
    EXPECT_GT(lengths[1], 1000);
}

TEST(EncodingWholeChar, ByteKinds) {
    struct Case { uint8_t kind; Bytes bytes; int32_t length; };
    const Case cases[] = {
        {2, {0xE3, 0x81}, 0},
        {2, {0x41, 0xE3, 0x81}, 1},
        {2, {0x41, 0xE3, 0x81, 0x82}, 4},
        {2, {0xC3, 0xA9, 0x80}, 3},        // a stray continuation can never be completed
        {2, {0x41, 0x80}, 2},
        {2, {0x80, 0x80}, 2},
        {2, {0x41, 0xF0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, 8},
        {2, {0x41, 0xC0}, 2},              // invalid lead keeps all
        {2, {0xF0, 0x9F, 0x98}, 0},
        {1, {0x41, 0x93}, 1},
        {1, {0x93, 0xFA}, 2},
        {1, {0x93, 0xFA, 0x93}, 2},
        {1, {0x81, 0x81, 0x81}, 2},        // lead, trail that could lead, lone lead
        {1, {0x41, 0xFB}, 1},              // IBM extension lead
        {1, {0xB1, 0xB2}, 2},              // half-width katakana
        {4, {0x41, 0xA4}, 1},
        {4, {0xA4, 0xA2}, 2},
        {4, {0xA4, 0xA2, 0xA4}, 2},
        {4, {0x41, 0x8E}, 1},
        {4, {0x41, 0x8E, 0xB1}, 3},
        {4, {0x8F, 0xB0}, 0},
        {4, {0x8F, 0xB0, 0xA1}, 3},
        {4, {0x80, 0x41}, 2},
        {3, {'A', '+', 'Z', 'e', 'V'}, 1},
        {3, {'A', '+', 'Z', 'e', 'V', '-'}, 6},
        {3, {'+', 'Z', 'e', 'V', '.'}, 5},
        {3, {'a', '+'}, 1},
        {3, {'+', '-', 'x'}, 3},
        {5, {0x00, 0x41, 0xD8}, 2},
        {5, {0xD8, 0x3D}, 0},
        {5, {0xD8, 0x3D, 0xDE, 0x00}, 4},
        {6, {0x3D, 0xD8}, 0},
        {6, {0x41, 0x00, 0x3D}, 2},
        {6, {0x3D, 0xD8, 0x00, 0xDE}, 4},
        {8, {0xFF, 0x00, 0x93}, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.length, WholeCharLength(c.kind, c.bytes.data(), static_cast<int32_t>(c.bytes.size())))
            << "kind " << int(c.kind) << " " << ::testing::PrintToString(c.bytes);
}

TEST(EncodingWholeChar, Utf16UnitsAndAnsi) {
    const wchar_t pair[] = {L'A', 0xD83D, 0xDE00};
    EXPECT_EQ(1, WholeCharLength(KindUtf16, pair, 2));  // the high surrogate waits
    EXPECT_EQ(3, WholeCharLength(KindUtf16, pair, 3));
    EXPECT_EQ(1, WholeCharLength(KindUtf16, pair, 1));
    EXPECT_EQ(0, WholeCharLength(KindUtf8, nullptr, 5));
    const uint8_t lead[] = {0x41, 0x93};
    // Kind 0 cuts a lone lead only where the ANSI code page is double-byte.
    EXPECT_EQ(GetACP() == 932 ? 1 : 2, WholeCharLength(KindAnsi, lead, 2));
}

TEST(EncodingWholeChar, ChunkedReadsNeverSplitACharacter) {
    const std::wstring japanese = L"日本語のテキスト 髙橋 ｱｲｳ, ABC\r\n漢字";
    const std::wstring everything = japanese + L" \U0001F600 end+1";
    struct Case { uint8_t kind; std::wstring text; };
    const Case cases[] = {
        {KindSjis, japanese}, {KindUtf8, everything}, {KindUtf7, everything},
        {KindEucJp, L"日本語のテキスト ｱｲｳ, ABC\r\n漢字"},
        {KindUtf16BE, everything}, {KindUtf16LE, everything},
    };
    for (const Case& c : cases) {
        RawString encoded;
        ASSERT_TRUE(ConvertFromUtf16(c.kind, c.text.data(), static_cast<int32_t>(c.text.size()), encoded));
        Bytes bytes = BytesOf(encoded);
        for (size_t chunk = 1; chunk <= 9; ++chunk)
            EXPECT_EQ(c.text, ReadChunked(c.kind, bytes, chunk)) << "kind " << int(c.kind) << " chunk " << chunk;
    }
}

TEST(EncodingConvert, KnownBytesAndRoundTrips) {
    const std::wstring nihon = L"日本";
    struct Case { uint8_t kind; Bytes bytes; };
    const Case cases[] = {
        {KindSjis, {0x93, 0xFA, 0x96, 0x7B}},
        {KindUtf8, {0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC}},
        {KindUtf7, {'+', 'Z', 'e', 'V', 'n', 'L', 'A', '-'}},
        {KindEucJp, {0xC6, 0xFC, 0xCB, 0xDC}},
        {KindUtf16BE, {0x65, 0xE5, 0x67, 0x2C}},
        {KindUtf16LE, {0xE5, 0x65, 0x2C, 0x67}},
    };
    for (const Case& c : cases) {
        RawString out;
        ASSERT_TRUE(ConvertFromUtf16(c.kind, nihon.data(), 2, out)) << int(c.kind);
        EXPECT_EQ(c.kind, out.Kind());
        EXPECT_EQ(c.bytes, BytesOf(out)) << int(c.kind);
        RawString back;
        ASSERT_TRUE(ConvertToUtf16(c.kind, c.bytes.data(), static_cast<int32_t>(c.bytes.size()), back));
        EXPECT_EQ(KindUtf16, back.Kind());
        EXPECT_EQ(back.Length(), back.Capacity());
        EXPECT_EQ(nihon, WideOf(back)) << int(c.kind);
    }
    // Surrogate pairs survive every Unicode kind.
    const std::wstring smile = L"a\U0001F600b";
    for (uint8_t kind : {KindUtf8, KindUtf7, KindUtf16BE, KindUtf16LE, KindUtf16}) {
        RawString out, back;
        ASSERT_TRUE(ConvertFromUtf16(kind, smile.data(), 4, out));
        ASSERT_TRUE(ConvertToUtf16(kind, out.Data(), out.Length(), back));
        EXPECT_EQ(smile, WideOf(back)) << int(kind);
    }
}

TEST(EncodingConvert, EucJpUsesAnAvailableCodePage) {
    int cp = KindCodePage(KindEucJp);
    EXPECT_EQ(IsValidCodePage(51932) ? 51932 : 20932, cp);
    EXPECT_TRUE(IsValidCodePage(static_cast<UINT>(cp)));
    const std::wstring text = L"かな ｶﾅ 漢字 abc";
    RawString eucjp = RawString::FromWideText(text.c_str()).As(KindEucJp);
    EXPECT_EQ(KindEucJp, eucjp.Kind());
    Bytes bytes = BytesOf(eucjp);
    EXPECT_EQ((Bytes{0xA4, 0xAB, 0xA4, 0xCA, ' ', 0x8E, 0xB6, 0x8E, 0xC5}), Bytes(bytes.begin(), bytes.begin() + 9));
    EXPECT_EQ(text, WideOf(eucjp.As(KindUtf16)));
    // Between two 8-bit kinds through UTF-16.
    EXPECT_EQ(text, WideOf(eucjp.As(KindSjis).As(KindUtf8).As(KindUtf16)));
}

TEST(EncodingConvert, AnsiKindFollowsTheCodePage) {
    std::wstring text;
    Bytes bytes;
    if (GetACP() == 932) {
        text = L"日本";
        bytes = {0x93, 0xFA, 0x96, 0x7B};
    } else {
        text = L"café";
        bytes = {'c', 'a', 'f', 0xE9};
    }
    RawString out, back;
    ASSERT_TRUE(ConvertFromUtf16(KindAnsi, text.data(), static_cast<int32_t>(text.size()), out));
    EXPECT_EQ(bytes, BytesOf(out));
    ASSERT_TRUE(ConvertToUtf16(KindAnsi, bytes.data(), static_cast<int32_t>(bytes.size()), back));
    EXPECT_EQ(text, WideOf(back));
    EXPECT_TRUE(KindFitsAnsiApi(KindAnsi));
    EXPECT_EQ(GetACP() == 932, KindFitsAnsiApi(KindSjis));
    EXPECT_FALSE(KindFitsAnsiApi(KindUtf8));
    EXPECT_FALSE(KindFitsAnsiApi(KindUtf16));
}

TEST(EncodingConvert, EmptyOddAndFailed) {
    for (uint8_t kind = 0; kind <= 7; ++kind) {
        RawString wide = RawString::FromWideText(L"x");
        EXPECT_TRUE(ConvertToUtf16(kind, nullptr, 0, wide));
        EXPECT_TRUE(wide.IsEmpty());
        EXPECT_EQ(KindUtf16, wide.Kind());
        RawString narrow = RawString::FromText("x");
        EXPECT_TRUE(ConvertFromUtf16(kind, nullptr, 0, narrow));
        EXPECT_TRUE(narrow.IsEmpty());
        EXPECT_EQ(kind, narrow.Kind());
    }
    // An odd last byte of UTF-16 is replaced, not dropped.
    const uint8_t odd[] = {0x41, 0x00, 0x42};
    RawString wide;
    ASSERT_TRUE(ConvertToUtf16(KindUtf16LE, odd, 3, wide));
    EXPECT_EQ(std::wstring(L"A\xFFFD"), WideOf(wide));
    // A conversion that cannot be done is a failure with empty output.
    const uint8_t text[] = {'a', 'b'};
    RawString out = RawString::FromText("stale");
    EXPECT_FALSE(ConvertToUtf16(KindError, text, 2, out));
    EXPECT_TRUE(out.IsEmpty());
    out = RawString::FromText("stale");
    EXPECT_FALSE(ConvertFromUtf16(KindError, L"ab", 2, out));
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_FALSE(ConvertToUtf16(KindUtf8, text, -1, out));
    bool ok = true;
    RawString bad = RawString::FromWideText(L"text").As(KindError, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(bad.IsEmpty());
}

TEST(EncodingNames, KindNames) {
    const char* names[] = {"ASCII", "SJIS", "UTF8", "UTF7", "EUCJP", "UTF16BE", "UTF16LE", "UTF16", "ERROR"};
    for (uint8_t kind = 0; kind <= 8; ++kind) {
        EXPECT_TRUE(EncodingKindName(kind, false).EqualsAscii(names[kind])) << int(kind);
        std::string marked = std::string(names[kind]) + " [BOM]";
        EXPECT_TRUE(EncodingKindName(kind, true).EqualsAscii(marked.c_str())) << int(kind);
        if (kind <= 7) {
            EXPECT_EQ(kind, KindFromName(EncodingKindName(kind, false)));
        }
    }
    EXPECT_TRUE(EncodingKindName(200, false).EqualsAscii("ERROR"));
    EXPECT_EQ(6, KindFromName(RawString::FromWideText(L"utf16le")));
    EXPECT_EQ(-1, KindFromName(RawString::FromText("ERROR")));
    EXPECT_EQ(-1, KindFromName(RawString::FromText("UTF8 [BOM]")));
    EXPECT_EQ(-1, KindFromName(RawString()));
    EXPECT_EQ(0, KindCodePage(KindAnsi));
    EXPECT_EQ(932, KindCodePage(KindSjis));
    EXPECT_EQ(65001, KindCodePage(KindUtf8));
    EXPECT_EQ(65000, KindCodePage(KindUtf7));
    EXPECT_EQ(-1, KindCodePage(KindUtf16));
}

TEST(EncodingTest, ExactConversionRefusesWhatTheKindCannotHold) {
    const RawString nihon = RawString::FromWideText(L"\x65E5\x672C");
    const RawString accent = RawString::FromWideText(L"caf\x00E9");
    const RawString emoji = RawString::FromWideText(L"\xD83D\xDE00");
    RawString out;
    EXPECT_TRUE(ConvertTextExactly(nihon, KindSjis, out));
    EXPECT_EQ(std::string(out.Bytes(), out.Length()), "\x93\xFA\x96\x7B");
    EXPECT_TRUE(ConvertTextExactly(nihon, KindEucJp, out));
    EXPECT_EQ(std::string(out.Bytes(), out.Length()), "\xC6\xFC\xCB\xDC");
    // Best-fit look-alikes and replacement marks never pass.
    EXPECT_FALSE(ConvertTextExactly(accent, KindSjis, out));
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_FALSE(ConvertTextExactly(emoji, KindSjis, out));
    EXPECT_TRUE(ConvertTextExactly(emoji, KindUtf8, out));
    EXPECT_EQ(out.Length(), 4);
    // The system code page holds what it holds: 日本 only under 932.
    EXPECT_EQ(ConvertTextExactly(nihon, KindAnsi, out), GetACP() == 932);
    EXPECT_EQ(ConvertTextExactly(accent, KindAnsi, out), GetACP() == 1252);
    // A lone surrogate is no text of any kind.
    const RawString lone = RawString::FromWideText(L"a\xD83D" L"b");
    for (uint8_t kind : {KindUtf8, KindUtf16, KindUtf16LE}) EXPECT_FALSE(ConvertTextExactly(lone, kind, out));
    EXPECT_TRUE(HasLoneSurrogate(lone.Wide(), lone.Length()));
    EXPECT_FALSE(HasLoneSurrogate(emoji.Wide(), emoji.Length()));
}
