// Files dropped on the folder box and on the tab bar, with names outside
// the ANSI code page. RUN_UNDER_BOTH_CODE_PAGES
#include "tab_view_fixture.h"

#include <shellapi.h>
#include <shlobj.h>

#include "tavrel/jobs/gui_profile.h"

namespace TabViewTest {
namespace {

// A WM_DROPFILES record of wide names dropped at a client point.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names, POINT point) {
    size_t units = 1;
    for (const std::wstring& name : names) units += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* record = static_cast<DROPFILES*>(GlobalLock(memory));
    record->pFiles = sizeof(DROPFILES);
    record->pt = point;
    record->fNC = FALSE;
    record->fWide = TRUE;
    wchar_t* text = reinterpret_cast<wchar_t*>(record + 1);
    for (const std::wstring& name : names) {
        std::copy(name.begin(), name.end(), text);
        text += name.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

class DropFilesTest : public MainWindowFixture {
protected:
    std::wstring File(const std::wstring& name, const std::string& text = "text\n") {
        const std::wstring path = temp.Join(name);
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }
    void Drop(HWND window, const std::vector<std::wstring>& names, POINT point) {
        PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names, point)), 0);
        PumpUntilIdle();
    }
    POINT OnSide(uint32_t side) {
        const int32_t d = Box().GetDividingPoint();
        return POINT{side == 0 ? d / 2 : d + 60, 40};
    }
};

TEST_F(DropFilesTest, BothWindowsAcceptFilesAndOneFileReplacesOnlyItsSide) {
    const std::wstring a = File(L"a.txt"), b = File(L"b.txt"), c = File(L"c.txt");
    OpenPair(a, b);
    EXPECT_TRUE(GetWindowLongW(Box().window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(GetWindowLongW(Views().tabBar.window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    Drop(Box().window, {c}, OnSide(1));
    EXPECT_EQ(Ws(Current()->Path(0)), a);
    EXPECT_EQ(Ws(Current()->Path(1)), c);
    // The side comes from the drop's own point, wherever the cursor is.
    Drop(Box().window, {b}, OnSide(0));
    EXPECT_EQ(Ws(Current()->Path(0)), b);
    EXPECT_EQ(Ws(Current()->Path(1)), c);
    // On the dividing zone nothing opens.
    Drop(Box().window, {a}, POINT{Box().GetDividingPoint(), 40});
    EXPECT_EQ(Ws(Current()->Path(0)), b);
}

TEST_F(DropFilesTest, ThreeFilesOnTheTabBarLoadTheFirstTwoAndAGroupFileIsAGroup) {
    const std::wstring x = File(L"x.txt"), y = File(L"y.txt"), z = File(L"z.txt");
    Open(L"");
    Drop(Views().tabBar.window, {x, y, z}, POINT{10, 5});
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(Ws(Current()->Path(0)), x);
    EXPECT_EQ(Ws(Current()->Path(1)), y);
    const std::wstring group = File(L"pairs.txt", "@Group@" + Utf8(x) + "|" + Utf8(z) + "\n");
    Drop(Views().tabBar.window, {group, y}, POINT{10, 5});
    const JobLayer::StartSource& source = JobLayer::GuiProfileStore::Instance().startSource;
    EXPECT_EQ(source.kind, JobLayer::StartGroupFile);
    EXPECT_EQ(Ws(source.path1), group);
}

TEST_F(DropFilesTest, GreekAndJapaneseNamesArriveWhole) {
    const std::wstring greek = File(L"\u03b1\u03b2\u03b3.txt"), japanese = File(L"\u3042\u3044\u3046.txt");
    const std::wstring plain = File(L"p.txt");
    OpenPair(plain, plain);
    Drop(Box().window, {greek, japanese}, OnSide(0));
    EXPECT_EQ(Ws(Current()->Path(0)), greek);
    EXPECT_EQ(Ws(Current()->Path(1)), japanese);
    Drop(Views().tabBar.window, {japanese, greek}, POINT{10, 5});
    EXPECT_EQ(Ws(Current()->Path(0)), japanese);
    EXPECT_EQ(Ws(Current()->Path(1)), greek);
    EXPECT_EQ(Current()->rows.Count(), 1);
}

}  // namespace
}  // namespace TabViewTest
