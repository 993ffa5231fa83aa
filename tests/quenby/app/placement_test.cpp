// Placement of the help viewer's main window: the first start, a stored
// rectangle, one on no monitor, an inverted one, the save after minimising
// or maximising, and the divider's stored place.
#include <gtest/gtest.h>

#include "base/profile.h"
#include "quenby/app/viewer_fixture.h"

using namespace ViewerTest;
using TestSupport::FileText;

namespace {

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

RECT WindowRectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// The least window size of a run's dialog.
SIZE LeastWindow(const GuiMainDialog& dialog) {
    RECT frame = dialog.anchor.minimum;
    AdjustWindowRectEx(&frame, dialog.style, FALSE, dialog.exStyle);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

std::string Profile(const std::string& mainDialog, const std::string& more = "") {
    return "[Common]\r\nProgram=Quenby\r\n" + more + "[MainDialog]\r\n" + mainDialog;
}

std::string RectKeys(const RECT& r) {
    return "WindowRect_L=" + std::to_string(r.left) + "\r\nWindowRect_T=" + std::to_string(r.top) +
           "\r\nWindowRect_R=" + std::to_string(r.right) + "\r\nWindowRect_B=" + std::to_string(r.bottom) + "\r\n";
}

RECT StoredRect(const std::wstring& profile) {
    RawLayer::ProfileFileRef file = RawLayer::ProfileFileRef::FromPath(TestSupport::W(profile));
    RawLayer::RawParameterList section;
    section.ReadSection(file, RawLayer::RawString::FromText("MainDialog"));
    RECT r{-1, -1, -1, -1};
    r.left = section.GetInt(RawLayer::RawString::FromText("WindowRect_L"), -1);
    r.top = section.GetInt(RawLayer::RawString::FromText("WindowRect_T"), -1);
    r.right = section.GetInt(RawLayer::RawString::FromText("WindowRect_R"), -1);
    r.bottom = section.GetInt(RawLayer::RawString::FromText("WindowRect_B"), -1);
    return r;
}

::testing::AssertionResult SameRect(const RECT& a, const RECT& b) {
    if (EqualRect(&a, &b)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.left << "," << a.top << "," << a.right << "," << a.bottom
                                         << ") != (" << b.left << "," << b.top << "," << b.right << "," << b.bottom
                                         << ")";
}

RECT Centred(LONG w, LONG h) {
    const RECT work = WorkArea();
    const LONG left = (work.left + work.right) / 2 - w / 2;
    const LONG top = (work.top + work.bottom) / 2 - h / 2;
    return RECT{left, top, left + w, top + h};
}

}  // namespace

TEST(ViewerPlacement, FirstStartIsTwiceAsWideAndThreeTimesAsHighCentred) {
    ViewerRun run;
    ASSERT_TRUE(run.Start(""));
    const SIZE least = LeastWindow(*run.Dialog());
    const RECT work = WorkArea();
    const LONG w = std::min(2 * least.cx, work.right - work.left);
    const LONG h = std::min(3 * least.cy, work.bottom - work.top);
    EXPECT_TRUE(SameRect(WindowRectOf(run.Window()), Centred(w, h)));
}

TEST(ViewerPlacement, ADefaultLargerThanTheWorkAreaIsShrunkIntoIt) {
    ViewerRun run;
    run.Write(L"Quenby.ini", "[Common]\r\nProgram=Quenby\r\n[WindowParameter]\r\nMargin=64\r\n");
    ASSERT_TRUE(run.Start(""));
    const SIZE least = LeastWindow(*run.Dialog());
    const RECT work = WorkArea();
    ASSERT_GT(3 * least.cy, work.bottom - work.top);
    const RECT placed = WindowRectOf(run.Window());
    EXPECT_GE(placed.top, work.top);
    EXPECT_GE(placed.left, work.left);
    EXPECT_LE(placed.right, work.right);
    EXPECT_LE(placed.bottom, work.bottom);
}

TEST(ViewerPlacement, StoredRectanglesAreReusedCentredOrRefused) {
    const RECT stored{100, 120, 900, 700};
    {
        ViewerRun run;
        run.Write(L"Quenby.ini", Profile(RectKeys(stored)));
        ASSERT_TRUE(run.Start(""));
        EXPECT_TRUE(SameRect(WindowRectOf(run.Window()), stored));
    }
    {
        ViewerRun run;
        run.Write(L"Quenby.ini", Profile(RectKeys(RECT{20000, 20000, 20800, 20600})));
        ASSERT_TRUE(run.Start(""));
        EXPECT_TRUE(SameRect(WindowRectOf(run.Window()), Centred(800, 600)));
    }
    RECT first{};
    {
        ViewerRun run;
        ASSERT_TRUE(run.Start(""));
        first = WindowRectOf(run.Window());
    }
    {
        ViewerRun run;
        run.Write(L"Quenby.ini", Profile(RectKeys(RECT{900, 120, 100, 700})));
        ASSERT_TRUE(run.Start(""));
        EXPECT_TRUE(SameRect(WindowRectOf(run.Window()), first));
    }
}

TEST(ViewerPlacement, MinimisedOrMaximisedCloseSavesTheRestoredRectangle) {
    const RECT stored{110, 130, 910, 730};
    for (int show : {SW_MINIMIZE, SW_MAXIMIZE}) {
        SCOPED_TRACE(show);
        ViewerRun run;
        run.Write(L"Quenby.ini", Profile(RectKeys(stored)));
        ASSERT_TRUE(run.Start(""));
        ShowWindow(run.Window(), show);
        TestSupport::PumpUntilIdle();
        run.Stop();
        EXPECT_TRUE(SameRect(StoredRect(run.profile), stored));
        ASSERT_TRUE(run.Start(""));
        EXPECT_TRUE(SameRect(WindowRectOf(run.Window()), stored));
    }
}

TEST(ViewerPlacement, MaximisingAndRestoringWritesNothing) {
    ViewerRun run;
    const std::string profile = Profile(RectKeys(RECT{100, 100, 900, 700}));
    run.Write(L"Quenby.ini", profile);
    ASSERT_TRUE(run.Start(""));
    ShowWindow(run.Window(), SW_MAXIMIZE);
    TestSupport::PumpUntilIdle();
    ShowWindow(run.Window(), SW_RESTORE);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(FileText(run.profile), profile);
}

TEST(ViewerPlacement, TheDividerTakesItsStoredPlaceWithinItsLimits) {
    const std::string rect = RectKeys(RECT{50, 50, 1050, 750});
    LONG builtIn = 0;
    {
        ViewerRun run;
        run.Write(L"Quenby.ini", Profile(rect + "DividerPoint_X=0\r\nDividerPoint_Y=0\r\n"));
        ASSERT_TRUE(run.Start(""));
        builtIn = run.Dialog()->items.divider.rect.left;
        EXPECT_EQ(builtIn, run.Dialog()->items.tree.rect.left + GuiMainDialog::kPaneLeastWidth);
    }
    {
        ViewerRun run;
        run.Write(L"Quenby.ini", Profile(rect + "DividerPoint_X=300\r\nDividerPoint_Y=0\r\n"));
        ASSERT_TRUE(run.Start(""));
        const auto& items = run.Dialog()->items;
        EXPECT_EQ(items.divider.rect.left, 300);
        EXPECT_EQ(items.tree.rect.right, 300);
        EXPECT_EQ(items.view.rect.left, items.divider.rect.right);
        RECT placed{};
        GetWindowRect(items.divider.window, &placed);
        MapWindowPoints(nullptr, run.Window(), reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_EQ(placed.left, 300);
    }
    {
        ViewerRun run;
        run.Write(L"Quenby.ini", Profile(rect + "DividerPoint_X=5000\r\nDividerPoint_Y=0\r\n"));
        ASSERT_TRUE(run.Start(""));
        const auto& items = run.Dialog()->items;
        EXPECT_EQ(items.view.Width(), GuiMainDialog::kPaneLeastWidth);
        EXPECT_EQ(items.divider.rect.right, items.view.rect.left);
    }
}
