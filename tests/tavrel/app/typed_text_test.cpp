// Typed units joined into whole characters, as the folder box hands them to
// the text side: UTF-16 units with surrogate pairs, and ANSI bytes with
// double-byte characters of the code page. RUN_UNDER_BOTH_CODE_PAGES
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tavrel/app/folder_box.h"

namespace {

using AppLayer::GuiFolderBox;

// Every typed unit in turn; the characters that came out.
std::wstring Typed(const std::vector<unsigned>& typed, bool unicode) {
    std::wstring text;
    uint16_t pending = 0;
    for (unsigned unit : typed) {
        wchar_t units[2] = {0, 0};
        const int32_t count = GuiFolderBox::JoinTypedUnit(unit, unicode, pending, units);
        text.append(units, units + count);
    }
    return text;
}

TEST(TypedTextTest, UnicodeUnitsAndSurrogatePairsArriveWhole) {
    EXPECT_EQ(Typed({0xE9, 0x3042, 0xD83D, 0xDE00, 'a'}, true), L"\u00e9\u3042\U0001F600a");
    // A low half without its high half, and a high half followed by no low
    // half, give nothing of the broken pair.
    EXPECT_EQ(Typed({0xDE00, 'b', 0xD83D, 'c'}, true), L"bc");
}

TEST(TypedTextTest, AnsiBytesAreConvertedByTheCodePage) {
    if (GetACP() == 932) {
        // Shift_JIS: 0x82 0xA0 is U+3042, 0x83 0x41 U+30A2; a single byte
        // of the half-width range stands alone.
        EXPECT_EQ(Typed({0x82, 0xA0, 'x', 0x83, 0x41, 0xB1}, false), L"\u3042x\u30a2\uff71");
    } else {
        // A single-byte code page: each byte is one character.
        wchar_t expected[3] = {};
        const char bytes[] = {'\xe9', '\x80', 'z'};
        ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes, 3, expected, 3), 3);
        EXPECT_EQ(Typed({0xE9, 0x80, 'z'}, false), std::wstring(expected, 3));
        EXPECT_NE(Typed({0xE9}, false), L"");
    }
}

}  // namespace
