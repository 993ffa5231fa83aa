// Command-line splitting into options and positional arguments.
#include "base/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/profile.h"
#include "support/test_support.h"

using namespace RawLayer;

namespace {

RawString Utf8(const std::string& s) { return RawString::FromBytes(s.data(), int32_t(s.size()), KindUtf8); }
std::string Text(const RawString& s) {
    RawString u = s.As(KindUtf8);
    return std::string(u.Bytes(), size_t(u.Length()));
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Split(const std::string& text, const char* const* noValue) {
    RawParameterList list;
    CommandLineSplit(list, noValue, Utf8(text));
    Pairs out;
    for (const RawParameterUnit& u : list) out.emplace_back(Text(u.key), Text(u.value));
    return out;
}

const char* const kNoValue[] = {"h", ""};

}  // namespace

TEST(CommandLineSplitTest, Table) {
    struct Case {
        const char* text;
        Pairs expected;
    } cases[] = {
        {"-g pairs.txt a b", {{"g", "pairs.txt"}, {"NoTag_1", "a"}, {"NoTag_2", "b"}}},
        {"-h -g x", {{"h", ""}, {"g", "x"}}},
        {"-h file", {{"h", ""}, {"NoTag_1", "file"}}},
        {"-g -t x", {{"g", ""}, {"t", "x"}}},
        {"-H x", {{"H", "x"}}},
        {"\"a b\"  c", {{"NoTag_1", "a b"}, {"NoTag_2", "c"}}},
        {"-g \"my pairs.txt\" \"\"", {{"g", "my pairs.txt"}, {"NoTag_1", ""}}},
        {"\"no closing quote", {{"NoTag_1", "no closing quote"}}},
        {"- x", {{"", ""}, {"NoTag_1", "x"}}},
        {"-", {{"", ""}}},
        {"--x v", {{"", ""}, {"x", "v"}}},
        {"-g", {{"g", ""}}},
        {"-t a -t b", {{"t", "a"}, {"t", "b"}}},
        {" \t\r\n a\r\nb\t", {{"NoTag_1", "a"}, {"NoTag_2", "b"}}},
        {"a\"b c\"", {{"NoTag_1", "a\"b"}, {"NoTag_2", "c\""}}},
        {"\"a\"b", {{"NoTag_1", "a"}, {"NoTag_2", "b"}}},
        {"-t \xE6\x97\xA5\xE6\x9C\xAC \xE8\xAA\x9E", {{"t", "\xE6\x97\xA5\xE6\x9C\xAC"}, {"NoTag_1", "\xE8\xAA\x9E"}}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Split(c.text, kNoValue), c.expected) << c.text;
}

TEST(CommandLineSplitTest, NoValueNamesAreOptional) {
    EXPECT_EQ(Split("-h file", nullptr), (Pairs{{"h", "file"}}));
    const char* const nullEnded[] = {"x", "h", nullptr};
    EXPECT_EQ(Split("-h file", nullEnded), (Pairs{{"h", ""}, {"NoTag_1", "file"}}));
}

TEST(CommandLineSplitTest, SetsExactKeysAndAppends) {
    RawParameterList list(false);
    list.Add(RawString::FromLiteral("keep"), RawString::FromLiteral("1"));
    CommandLineSplit(list, kNoValue, Utf8("-g x y"));
    EXPECT_TRUE(list.ExactCase());
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Find(RawString::FromLiteral("G")), nullptr);
    ASSERT_NE(list.Find(RawString::FromLiteral("g")), nullptr);
    EXPECT_EQ(Text(list.Find(RawString::FromLiteral("g"))->value), "x");
    EXPECT_EQ(Text(list.GetText(RawString::FromLiteral("NoTag_1"))), "y");
}

TEST(CommandLineTest, FindFirstOfAndIsOneOf) {
    RawString blanks = RawString::FromLiteral(" \t");
    RawString t = Utf8("ab c\td");
    EXPECT_EQ(FindFirstOf(t, 0, blanks), 2);
    EXPECT_EQ(FindFirstOf(t, -7, blanks), 2);
    EXPECT_EQ(FindFirstOf(t, 3, blanks), 4);
    EXPECT_EQ(FindFirstOf(t, 5, blanks), 6);
    EXPECT_EQ(FindFirstOf(t, 99, blanks), 6);
    EXPECT_EQ(FindFirstOf(t, 0, RawString()), 6);
    EXPECT_TRUE(IsOneOf(t, 2, blanks));
    EXPECT_FALSE(IsOneOf(t, 0, blanks));
    EXPECT_FALSE(IsOneOf(t, -1, blanks));
    EXPECT_FALSE(IsOneOf(t, 6, blanks));
    EXPECT_FALSE(IsOneOf(t, 2, RawString()));
    // Shift_JIS: the trail byte 0x5C of a double-byte character is no backslash.
    RawString sjis = RawString::FromBytes("\x95\x5C\\x", 4, KindSjis);
    EXPECT_EQ(FindFirstOf(sjis, 0, RawString::FromLiteral("\\")), 2);
    // UTF-16 units compare by value with the set's bytes.
    RawString wide = RawString::FromWideText(L"\u65E5 x");
    EXPECT_EQ(FindFirstOf(wide, 0, blanks), 1);
}

TEST(CommandLineTest, ProgramPathIsSkipped) {
    struct {
        const wchar_t* line;
        const char* rest;
    } cases[] = {
        {L"\"C:\\Program Files\\Tavrel\\Tavrel.exe\"  -g x", "-g x"},
        {L"  \tC:\\t.exe\t a  b ", "a  b "},
        {L"C:\\t.exe", ""},
        {L"\"C:\\a b\\t.exe\"arg rest", "rest"},
        {L"\"C:\\unclosed path -g x", ""},
        {L"t.exe \u65E5\u672C", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {L"", ""},
    };
    for (auto& c : cases) {
        RawString rest = CommandLineAfterProgram(RawString::FromWideText(c.line));
        EXPECT_EQ(rest.Kind(), KindUtf8);
        EXPECT_EQ(Text(rest), c.rest);
    }
    RawString own = ParseProcessCommandLine();
    EXPECT_EQ(own.Kind(), KindUtf8);
    EXPECT_EQ(Text(own).find("base_command_line_test"), std::string::npos);
}
