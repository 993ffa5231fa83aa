// Clipboard text round trips and the colour blend. RUN_UNDER_BOTH_CODE_PAGES
#include "base/clipboard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/encoding.h"

using namespace RawLayer;

namespace {

RawString Utf8(const std::string& s) { return RawString::FromBytes(s.data(), int32_t(s.size()), KindUtf8); }
RawString Utf16(const std::wstring& s) { return RawString::FromWideText(s.c_str(), int32_t(s.size())); }
std::wstring ToWide(const RawString& s) {
    RawString w = s.As(KindUtf16);
    return std::wstring(w.Wide(), size_t(w.Length()));
}

const std::wstring kJapanese = L"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8";

// Puts a raw CF_UNICODETEXT block of exactly these units (no terminator).
bool PutRawUnits(const std::wstring& units) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, units.size() * sizeof(wchar_t));
    if (!h) return false;
    memcpy(GlobalLock(h), units.data(), units.size() * sizeof(wchar_t));
    GlobalUnlock(h);
    if (!OpenClipboard(nullptr)) {
        GlobalFree(h);
        return false;
    }
    EmptyClipboard();
    bool ok = SetClipboardData(CF_UNICODETEXT, h) != nullptr;
    CloseClipboard();
    if (!ok) GlobalFree(h);
    return ok;
}

}  // namespace

TEST(ClipboardTest, RoundTripInEveryTextKind) {
    struct {
        const char* name;
        RawString text;
    } cases[] = {
        {"utf16", Utf16(kJapanese)},
        {"utf8", Utf16(kJapanese).As(KindUtf8)},
        {"sjis", Utf16(kJapanese).As(KindSjis)},
        {"utf16le", Utf16(kJapanese).As(KindUtf16LE)},
        {"ascii", Utf8("plain text")},
        {"long", Utf16(std::wstring(5000, L'\u3042'))},
    };
    for (auto& c : cases) {
        ASSERT_TRUE(ClipboardSetText(c.text)) << c.name;
        RawString back = ClipboardGetText(100000);
        EXPECT_EQ(back.Kind(), KindUtf16) << c.name;
        EXPECT_EQ(ToWide(back), ToWide(c.text)) << c.name;
    }
}

TEST(ClipboardTest, RangesAreClippedAndStopAtNul) {
    ASSERT_TRUE(ClipboardSetText(Utf16(L"abcdef"), RawRange{2, 100}));
    EXPECT_EQ(ToWide(ClipboardGetText(100)), L"cdef");
    ASSERT_TRUE(ClipboardSetText(Utf16(L"abcdef"), RawRange{-5, 2}));
    EXPECT_EQ(ToWide(ClipboardGetText(100)), L"ab");
    ASSERT_TRUE(ClipboardSetText(RawString::FromBytes("ab\0cd", 5, KindAnsi), RawRange{0, 5}));
    EXPECT_EQ(ToWide(ClipboardGetText(100)), L"ab");
    ASSERT_TRUE(ClipboardSetText(RawString::FromWideText(L"xy\0z", 4), RawRange{0, 4}));
    EXPECT_EQ(ToWide(ClipboardGetText(100)), L"xy");
    // A byte range of UTF-8 converts just those characters.
    RawString mixed = Utf8("x\xE6\x97\xA5\xE6\x9C\xAC" "y");
    ASSERT_TRUE(ClipboardSetText(mixed, RawRange{1, 7}));
    EXPECT_EQ(ToWide(ClipboardGetText(100)), L"\u65E5\u672C");
}

TEST(ClipboardTest, ReadIsCutToTheMaximum) {
    ASSERT_TRUE(ClipboardSetText(Utf16(L"12345678")));
    EXPECT_EQ(ToWide(ClipboardGetText(5)), L"12345");
    EXPECT_TRUE(ClipboardGetText(0).IsEmpty());
    EXPECT_TRUE(ClipboardGetText(-3).IsEmpty());
}

TEST(ClipboardTest, BlockWithoutTerminatorIsReadWithinItsSize) {
    ASSERT_TRUE(PutRawUnits(L"wxyz"));
    // (Wine itself may end such a block one unit early.)
    RawString back = ClipboardGetText(1000);
    EXPECT_GE(back.Length(), 3);
    EXPECT_LE(back.Length(), 4);
    EXPECT_EQ(std::wstring(L"wxyz").substr(0, size_t(back.Length())), ToWide(back));
}

TEST(ClipboardTest, NoTextGivesEmptyUtf16) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    RawString back = ClipboardGetText(100);
    EXPECT_TRUE(back.IsEmpty());
    EXPECT_EQ(back.Kind(), KindUtf16);
}

namespace {
// A window of another thread to hold the clipboard with.
HWND MakeHolderWindow() {
    return CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}
}  // namespace

TEST(ClipboardTest, BusyClipboardIsRetriedThenGivenUp) {
    // Another thread holds the clipboard open for a moment: the write waits.
    std::atomic<bool> opened{false};
    std::atomic<bool> held{false};
    std::thread holder([&] {
        HWND w = MakeHolderWindow();
        if (OpenClipboard(w)) {
            held = true;
            opened = true;
            Sleep(60);
            CloseClipboard();
        }
        opened = true;
        DestroyWindow(w);
    });
    while (!opened) Sleep(1);
    ASSERT_TRUE(held.load());
    EXPECT_TRUE(ClipboardSetText(Utf16(L"after wait")));
    holder.join();
    EXPECT_EQ(ToWide(ClipboardGetText(100)), L"after wait");

    // Held for longer than the retries last: a plain failure.
    std::atomic<int> state{0};
    std::thread hog([&] {
        HWND w = MakeHolderWindow();
        bool ok = OpenClipboard(w) != FALSE;
        state = ok ? 1 : 2;
        while (ok && state != 3) Sleep(5);
        if (ok) CloseClipboard();
        DestroyWindow(w);
    });
    while (state == 0) Sleep(1);
    ASSERT_EQ(state.load(), 1);
    DWORD start = GetTickCount();
    EXPECT_FALSE(ClipboardSetText(Utf16(L"refused")));
    EXPECT_TRUE(ClipboardGetText(100).IsEmpty());
    EXPECT_LT(GetTickCount() - start, 3000u);
    state = 3;
    hog.join();
    EXPECT_EQ(ToWide(ClipboardGetText(100)), L"after wait");
}

TEST(BlendColorTest, Values) {
    const COLORREF white = RGB(255, 255, 255);
    struct {
        COLORREF a, b, plain;
        int weight;
        COLORREF expected;
    } cases[] = {
        {white, RGB(1, 2, 3), white, 99, RGB(1, 2, 3)},          // a is plain: b
        {RGB(1, 2, 3), white, white, 99, RGB(1, 2, 3)},          // b is plain: a
        {RGB(100, 50, 0), RGB(200, 101, 255), white, 0, RGB(150, 75, 127)},
        {RGB(100, 50, 0), RGB(200, 101, 255), white, 256, RGB(50, 25, 0)},
        {RGB(100, 50, 0), RGB(200, 101, 255), white, 128, RGB(100, 50, 64)},
        {RGB(255, 255, 255), RGB(255, 255, 255), RGB(0, 0, 0), 32, RGB(255, 255, 255) - RGB(16, 16, 16)},
        {RGB(9, 9, 9), RGB(200, 101, 255), white, 1000, RGB(4, 4, 4)},  // clamped to 256
        {RGB(9, 9, 9), RGB(201, 101, 255), white, -5, RGB(105, 55, 132)},  // clamped to 0
        {0xFF000000 | RGB(2, 4, 6), RGB(2, 4, 6), white, 0, RGB(2, 4, 6)},  // top byte dropped
    };
    for (auto& c : cases) {
        EXPECT_EQ(BlendColor(c.a, c.b, c.plain, c.weight), c.expected)
            << std::hex << c.a << " " << c.b << " " << std::dec << c.weight;
    }
}
