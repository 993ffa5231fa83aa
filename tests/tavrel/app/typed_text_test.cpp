// Typed units joined into whole characters, as the folder box hands them to
// the text side: UTF-16 units with surrogate pairs, and ANSI bytes with
// double-byte characters of the code page; and text a side's encoding
// cannot hold, pasted, copied over from the other side or typed, refused
// with a word in the status box. RUN_UNDER_BOTH_CODE_PAGES
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/clipboard.h"
#include "tab_view_fixture.h"
#include "tavrel/app/folder_box.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/app/status_box.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/key_binding.h"

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

class UnheldTextTest : public TabViewTest::MainWindowFixture {
protected:
    void Act(const std::string& actions) {
        JobLayer::JobBindingUnit binding;
        JobLayer::ParseActionList(binding.actions, RawLayer::RawString::FromText(actions.c_str()));
        for (const JobLayer::JobActionUnit& action : binding.actions) {
            if (!Box().ActionDispatch(action)) break;
        }
        TestSupport::PumpUntilIdle();
    }
    void CtrlKey(WPARAM key) {
        TestSupport::SetModifiers(false, true, false);
        SendMessageW(Box().window, WM_KEYDOWN, VK_CONTROL, 1);
        SendMessageW(Box().window, WM_KEYDOWN, key, 1);
        SendMessageW(Box().window, WM_KEYUP, key, 1);
        TestSupport::SetModifiers(false, false, false);
        SendMessageW(Box().window, WM_KEYUP, VK_CONTROL, 1);
        TestSupport::PumpUntilIdle();
    }
    // Status lines that are exactly the line.
    int32_t StatusLines(const std::string& line) {
        AppLayer::GuiStatusBox& box = Views().statusBox;
        box.ShowQueued();
        int32_t count = 0;
        for (const WinLayer::WinListBoxItemUnit& unit : box.items) {
            const AppLayer::JobStatusUnit* status = AppLayer::GuiStatusBox::ItemOf(unit);
            count += status && TestSupport::S(status->text) == line;
        }
        return count;
    }
    // A side's texts, each unit as a number, and its changed flag.
    std::string SideState(uint32_t side) {
        const JobLayer::JobContentList& content = Current()->Content(side);
        std::string state = std::to_string(content.flags & JobLayer::ContentChanged) + ":";
        for (const JobLayer::JobContentUnit& unit : content) {
            const RawLayer::RawString text = unit.Text();
            for (int32_t i = 0; i < text.Length(); ++i) state += std::to_string(text.UnitAt(i)) + " ";
            state += "|";
        }
        return state;
    }
};

// Pasting, copying the other side's line over and typing text that has
// none of its characters in Shift_JIS leave a Shift_JIS text side and a
// binary side read as Shift_JIS as they were, and each attempt puts the
// reason, with the side's file, in the status box once.
TEST_F(UnheldTextTest, TextTheSideCannotHoldChangesNothingAndTheStatusBoxSaysWhy) {
    const std::string unheld = "\xE2\x82\xAC \xC3\xBC \xF0\x9F\x98\x80 \xED\x95\x9C\xEA\xB5\xAD";
    const std::wstring wide = TestSupport::Wide(unheld);
    const std::wstring a = temp.Join(L"a.txt"), b = temp.Join(L"b.txt");
    // Side 1: 日本 and abc in Shift_JIS; side 2 (UTF-8 with its mark) the
    // text Shift_JIS has no character of.
    ASSERT_TRUE(TestSupport::WriteFileBytes(a, "\x93\xFA\x96\x7B\r\nabc\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(b, "\xEF\xBB\xBF" + unheld + "\r\nabc\r\n"));
    OpenPair(a, b);
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindText);
    ASSERT_EQ(Current()->content1.encodingKind, uint32_t(RawLayer::KindSjis));
    ASSERT_EQ(Current()->content2.encodingKind, uint32_t(RawLayer::KindUtf8));
    const std::string message =
        "Nothing changed: the side's encoding cannot hold every character of the text (" + TestSupport::Utf8(a) + ")";
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    Box().SetCurrentSide(0);
    Act("MoveCursorToFileHead");
    const std::string before = SideState(0);
    int32_t told = 0;
    auto check = [&](const char* how) {
        EXPECT_EQ(SideState(0), before) << how;
        EXPECT_EQ(StatusLines(message), ++told) << how;
    };
    // Ctrl+V of the whole text, and of each of its characters.
    for (const std::wstring& part : {wide, std::wstring(L"\u20ac"), std::wstring(L"\u00fc"),
                                     std::wstring(L"\U0001F600"), std::wstring(L"\ud55c\uad6d")}) {
        ASSERT_TRUE(RawLayer::ClipboardSetText(RawLayer::RawString::FromWideText(part.c_str(),
                                                                                 static_cast<int32_t>(part.size()))));
        CtrlKey('V');
        check("paste");
    }
    // Copy <-- of the first row: side 2's line over side 1's.
    Box().GotoRow(0);
    Command(AppLayer::CmdCopy2to1);
    check("copy");
    // Typed characters, one at a time (the emoji as its two halves).
    for (wchar_t unit : std::wstring(L"\u20ac\u00fc\U0001F600\ud55c")) {
        SendMessageW(Box().window, WM_CHAR, unit, 1);
        TestSupport::PumpUntilIdle();
        if (unit == 0xD83D) continue;
        check("typed");
    }

    // A binary side read as Shift_JIS, in its character column.
    const std::wstring x = temp.Join(L"x.bin"), y = temp.Join(L"y.bin");
    ASSERT_TRUE(TestSupport::WriteFileBytes(x, std::string("\x01\x02\x03\x04", 4)));
    ASSERT_TRUE(TestSupport::WriteFileBytes(y, std::string("\x01\x02\x03\x05", 4)));
    Views().tabBar.LoadPair(TestSupport::W(x), TestSupport::W(y));
    TabViewTest::ShowCurrentTab(Views());
    TestSupport::PumpUntilIdle();
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindBinary);
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    JobLayer::BinaryEncodingKind(Current()->side1) = RawLayer::KindSjis;
    Box().SetCurrentSide(0);
    Act("MoveCursorToFileHead");
    if (Current()->side1.activeColumn != 2) Act("SelectToggleColumn");
    ASSERT_EQ(Current()->side1.activeColumn, 2u);
    const std::string binaryMessage =
        "Nothing changed: the side's encoding cannot hold every character of the text (" + TestSupport::Utf8(x) + ")";
    const std::string bytes = TestSupport::FileText(x);
    auto bytesOf = [this] {
        const JobLayer::JobBinaryBaseData* data = JobLayer::BinaryDataOf(Current()->side1);
        std::string state = std::to_string(Current()->content1.flags & JobLayer::ContentChanged) + ":";
        for (int32_t i = 0; data && i < data->Length(); ++i) state += std::to_string(data->ByteAt(i)) + " ";
        return state;
    };
    const std::string binaryBefore = bytesOf();
    int32_t binaryTold = 0;
    ASSERT_TRUE(RawLayer::ClipboardSetText(RawLayer::RawString::FromWideText(wide.c_str(),
                                                                             static_cast<int32_t>(wide.size()))));
    CtrlKey('V');
    EXPECT_EQ(bytesOf(), binaryBefore);
    EXPECT_EQ(StatusLines(binaryMessage), ++binaryTold);
    for (wchar_t unit : std::wstring(L"\u20ac\u00fc\ud55c")) {
        SendMessageW(Box().window, WM_CHAR, unit, 1);
        TestSupport::PumpUntilIdle();
        EXPECT_EQ(bytesOf(), binaryBefore) << int(unit);
        EXPECT_EQ(StatusLines(binaryMessage), ++binaryTold) << int(unit);
    }
    Command(AppLayer::CmdSaveFile);
    EXPECT_EQ(TestSupport::FileText(x), bytes);
}

// A character typed into a binary side's character column enters the bytes
// a paste of it enters, in every encoding of the side's menu: typed one by
// one into side 1 and pasted one by one with Ctrl+V into side 2 of the same
// bytes, at the file's head in insert mode (and in overwrite mode), the two
// saved files hold the same bytes entered (in UTF-16 LE "Aé+日" is 41 00
// E9 00 2B 00 E5 65, and a UTF-7 "+" is "+-").
TEST_F(UnheldTextTest, TypedCharactersEnterTheBytesTheirPasteEnters) {
    struct Case {
        uint8_t kind;
        const wchar_t* text;
    };
    const Case cases[] = {
        {RawLayer::KindAnsi, L"A+z"},            {RawLayer::KindSjis, L"A\u65e5+"},
        {RawLayer::KindUtf8, L"A\u00e9+\u65e5"}, {RawLayer::KindUtf7, L"A\u00e9+\u65e5"},
        {RawLayer::KindEucJp, L"A\u65e5+"},     {RawLayer::KindUtf16BE, L"A\u00e9+\u65e5"},
        {RawLayer::KindUtf16LE, L"A\u00e9+\u65e5"}, {RawLayer::KindUtf16, L"A\u00e9+\u65e5"},
    };
    const std::string original("\x01\x02\x03\x04", 4);
    int32_t serial = 0;
    for (const Case& c : cases) {
        for (const bool insert : {true, false}) {
            // Overwrite mode once: the modes differ only in where the bytes go.
            if (!insert && c.kind != RawLayer::KindUtf16LE) continue;
            SCOPED_TRACE(std::to_string(c.kind) + (insert ? " insert" : " overwrite"));
            const std::wstring x = temp.Join(L"typed" + std::to_wstring(serial) + L".bin");
            const std::wstring y = temp.Join(L"pasted" + std::to_wstring(serial++) + L".bin");
            ASSERT_TRUE(TestSupport::WriteFileBytes(x, original));
            ASSERT_TRUE(TestSupport::WriteFileBytes(y, original));
            if (serial == 1) {
                OpenPair(x, y);
            } else {
                Views().tabBar.LoadPair(TestSupport::W(x), TestSupport::W(y));
                TabViewTest::ShowCurrentTab(Views());
                TestSupport::PumpUntilIdle();
            }
            ASSERT_EQ(Current()->kind.kind, JobLayer::KindBinary);
            for (uint32_t side = 0; side < 2; ++side) {
                ASSERT_TRUE(AppLayer::SetSideEditable(Box(), side, true));
                JobLayer::BinaryEncodingKind(Current()->Side(side)) = c.kind;
                Box().SetCurrentSide(side);
                if (insert) Act("ToggleInsertMode");
                ASSERT_EQ(JobLayer::BinaryInsertMode(Current()->Side(side)), insert ? 1 : 0);
                Act("MoveCursorToFileHead");
                if (Current()->Side(side).activeColumn != 2) Act("SelectToggleColumn");
                ASSERT_EQ(Current()->Side(side).activeColumn, 2u);
                for (const wchar_t* at = c.text; *at; ++at) {
                    if (side == 0) {
                        SendMessageW(Box().window, WM_CHAR, *at, 1);
                        TestSupport::PumpUntilIdle();
                    } else {
                        ASSERT_TRUE(RawLayer::ClipboardSetText(RawLayer::RawString::FromWideText(at, 1)));
                        CtrlKey('V');
                    }
                }
            }
            Command(AppLayer::CmdSaveFile);
            // Typing inserts in both modes; a paste writes over the bytes
            // in overwrite mode.
            const std::string typed = TestSupport::FileText(x), pasted = TestSupport::FileText(y);
            ASSERT_GT(typed.size(), original.size());
            EXPECT_EQ(typed.substr(typed.size() - original.size()), original);
            const std::string entered = typed.substr(0, typed.size() - original.size());
            const size_t kept = insert ? 0 : std::min(entered.size(), original.size());
            EXPECT_EQ(pasted, entered + original.substr(kept));
            if (c.kind == RawLayer::KindUtf16LE && insert) {
                EXPECT_EQ(pasted, std::string("A\0\xE9\0+\0\xE5\x65", 8) + original);
            }
            if (c.kind == RawLayer::KindUtf7) {
                EXPECT_NE(entered.find("+-"), std::string::npos);
            }
        }
    }
}

}  // namespace
