// The main window's rows: the fifteen buttons with their ids, captions and
// groups, the spacing from the GUI profile (clamped), the buttons that
// follow the right edge, and the page buttons shown only in page view.
#include <gtest/gtest.h>

#include "quenby/app/viewer_fixture.h"

using namespace ViewerTest;

namespace {

const char* const kCaptions[] = {"Font",   "Sr",    "",       " + ",     "Save",    "Search", "<-", "->",
                                 "Resize", "Margin", "ClipTOC", "Print", "Reload", "Reboot", "Page"};

// The groups left to right as construction indices.
const std::vector<std::vector<int>> kGroups = {{0, 1, 2, 3, 4}, {6, 5, 7}, {8, 9}, {10, 11}, {12, 13}, {14}};

RECT ChildRect(HWND child, HWND parent) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string WithMargin(const std::string& margin) {
    return "[Common]\r\nProgram=Quenby\r\n[WindowParameter]\r\nMargin=" + margin + "\r\n";
}

}  // namespace

TEST(ViewerLayout, FifteenButtonsInOrderWithTheirCaptions) {
    ViewerRun run;
    run.Write(L"LanguageFile.ini", "[Deutsch]\r\nItemLabels_FontMinus=Sr\r\n");
    run.Write(L"Quenby.ini", "[Common]\r\nProgram=Quenby\r\nLanguage=Deutsch\r\n");
    ASSERT_TRUE(run.Start(""));
    const auto& items = run.Dialog()->items;
    for (int i = 0; i < AppLayer::GuiMainItems::kButtonCount; ++i) {
        SCOPED_TRACE(i);
        const WinLayer::WinButton& button = items.Button(i);
        ASSERT_NE(button.window, nullptr);
        EXPECT_EQ(GetDlgCtrlID(button.window), 2500 + i);
        EXPECT_EQ(TestSupport::S(button.text), kCaptions[i]);
    }
    EXPECT_TRUE(items.page.buttonStyle & WinLayer::WinButtonDraw::Toggles);
}

TEST(ViewerLayout, GroupsTouchInsideAndStandTheClampedMarginApart) {
    for (const auto& [given, expected] : std::vector<std::pair<std::string, int>>{
             {"10", 10}, {"-5", 0}, {"2000000000", AppLayer::GuiMainDialog::kMostMargin}}) {
        SCOPED_TRACE(given);
        ViewerRun run;
        run.Write(L"Quenby.ini", WithMargin(given));
        ASSERT_TRUE(run.Start("-p"));
        const auto& items = run.Dialog()->items;
        const HWND window = run.Window();
        // Widened so the right-hand buttons stand right after the others.
        LONG previousRight = -1;
        for (size_t g = 0; g < kGroups.size(); ++g) {
            for (size_t k = 0; k < kGroups[g].size(); ++k) {
                const RECT r = ChildRect(items.Button(kGroups[g][k]).window, window);
                if (k > 0) {
                    EXPECT_EQ(r.left, previousRight) << "group " << g;
                } else if (g > 0 && g < 4) {
                    EXPECT_EQ(r.left - previousRight, expected) << "group " << g;
                }
                previousRight = r.right;
            }
        }
        EXPECT_EQ(ChildRect(items.Button(0).window, window).left, expected);
        EXPECT_EQ(ChildRect(items.tabBar.window, window).top,
                  ChildRect(items.Button(0).window, window).bottom + expected);
    }
}

TEST(ViewerLayout, WideningMovesTheRightButtonsAndTheyPaintThere) {
    ViewerRun run;
    run.Write(L"Quenby.ini",
              "[Common]\r\nProgram=Quenby\r\n[MainDialog]\r\nWindowRect_L=100\r\nWindowRect_T=100\r\n"
              "WindowRect_R=900\r\nWindowRect_B=600\r\n");
    ASSERT_TRUE(run.Start(""));
    const HWND window = run.Window();
    const auto& items = run.Dialog()->items;
    const int right[] = {AppLayer::GuiMainItems::ButtonReload, AppLayer::GuiMainItems::ButtonReboot,
                         AppLayer::GuiMainItems::ButtonPage};
    RECT before[3];
    for (int i = 0; i < 3; ++i) before[i] = ChildRect(items.Button(right[i]).window, window);
    const LONG fontLeft = ChildRect(items.fontSelect.window, window).left;
    TestSupport::DibCanvas first = TestSupport::DibCanvas::CaptureClient(window);
    RECT outer{};
    GetWindowRect(window, &outer);
    MoveWindow(window, outer.left, outer.top, outer.right - outer.left + 200, outer.bottom - outer.top, TRUE);
    TestSupport::PumpUntilIdle();
    TestSupport::DibCanvas second = TestSupport::DibCanvas::CaptureClient(window);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const RECT after = ChildRect(items.Button(right[i]).window, window);
        EXPECT_EQ(after.left, before[i].left + 200);
        EXPECT_EQ(after.right, before[i].right + 200);
        int differing = 0;
        for (LONG y = before[i].top; y < before[i].bottom; ++y) {
            for (LONG x = before[i].left; x < before[i].right; ++x) {
                if (first.Pixel(x, y) != second.Pixel(x + 200, y)) ++differing;
            }
        }
        EXPECT_EQ(differing, 0);
    }
    EXPECT_EQ(ChildRect(items.fontSelect.window, window).left, fontLeft);
}

TEST(ViewerLayout, PageButtonsShowOnlyInPageView) {
    for (bool pageView : {false, true}) {
        ViewerRun run;
        ASSERT_TRUE(run.Start(pageView ? "-p" : ""));
        const auto& items = run.Dialog()->items;
        for (int index : {AppLayer::GuiMainItems::ButtonResize, AppLayer::GuiMainItems::ButtonMargin,
                          AppLayer::GuiMainItems::ButtonClipToc, AppLayer::GuiMainItems::ButtonPrint}) {
            EXPECT_EQ(IsWindowVisible(items.Button(index).window) != FALSE, pageView) << index;
        }
        EXPECT_TRUE(IsWindowVisible(items.reload.window));
        EXPECT_EQ(items.page.checked, pageView);
    }
}
