// Anchor relayout, placement on the work area, window rectangles in profile
// files and the monitor test.
// USES_FOREGROUND: its dialog takes the activation of the shared display.
#include <gtest/gtest.h>

#include <string>

#include "base/profile.h"
#include "support/test_support.h"
#include "support/window_support.h"
#include "toolkit/environment.h"
#include "toolkit/layout.h"

using namespace WinLayer;
using RawLayer::RawParameterList;
using RawLayer::RawString;

namespace {

RawString Text(const char* text) { return RawString::FromText(text); }

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A child rectangle relaid after its parent goes from `before` to `after`.
RECT Relaid(uint16_t anchors, RECT child, RECT before, RECT after) {
    WinViewResize record;
    record.rect = child;
    record.anchors = anchors;
    RECT parent = before;
    record.Follow(&parent);
    parent = after;
    EXPECT_TRUE(record.Relayout());
    return record.rect;
}

RECT WorkArea() {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

}  // namespace

TEST(AnchorLayout, EdgesFollowTheParentEdgesTheyAreAnchoredTo) {
    const RECT child{10, 10, 30, 30}, before{0, 0, 100, 100};
    // Both horizontal edges follow the right edge: the child moves.
    EXPECT_TRUE(Same(Relaid(0x0002 | 0x0010, child, before, RECT{0, 0, 150, 100}), RECT{60, 10, 80, 30}));
    // Left with the left edge, right with the right edge: it stretches.
    EXPECT_TRUE(Same(Relaid(0x0001 | 0x0010, child, before, RECT{0, 0, 150, 100}), RECT{10, 10, 80, 30}));
    // Vertical flags mirror the horizontal ones.
    EXPECT_TRUE(Same(Relaid(0x0200 | 0x1000, child, before, RECT{0, 0, 100, 140}), RECT{10, 50, 30, 70}));
    // Centre flags move by the change of the rounded-down centre: 100 -> 101
    // keeps it, 100 -> 102 moves by 1.
    EXPECT_TRUE(Same(Relaid(0x0004 | 0x0040, child, before, RECT{0, 0, 101, 100}), child));
    EXPECT_TRUE(Same(Relaid(0x0004 | 0x0040, child, before, RECT{0, 0, 102, 100}), RECT{11, 10, 31, 30}));
    // Two flags on one edge add both shifts; an edge without flags stays.
    EXPECT_TRUE(Same(Relaid(0x0001 | 0x0002, child, before, RECT{5, 0, 115, 100}), RECT{30, 10, 30, 30}));
    WinViewResize orphan;
    orphan.rect = child;
    orphan.anchors = 0x0011;
    EXPECT_FALSE(orphan.Relayout());
    EXPECT_TRUE(Same(orphan.rect, child));
}

TEST(AnchorLayout, ADialogMovesItsAnchoredChildrenWhenResized) {
    TestSupport::TestControl fixed("BUTTON", "fixed"), follower("BUTTON", "follows");
    fixed.rect = RECT{10, 10, 60, 40};
    follower.rect = RECT{200, 10, 260, 40};
    follower.anchors = AnchorLeftToRight | AnchorRightToRight;
    TestSupport::TestDialog dialog("TkLayoutDialog", L"Layout", RECT{50, 50, 450, 350});
    dialog.makeChildren = [&](TestSupport::TestDialog& d) {
        d.CreateChild(fixed);
        follower.Follow(&d.anchor.rect);
        d.CreateChild(follower);
    };
    dialog.Create();
    RECT before{};
    GetWindowRect(follower.window, &before);
    MoveWindow(dialog.window, 50, 50, 450, 300, TRUE);
    TestSupport::PumpUntilIdle();
    RECT after{};
    GetWindowRect(follower.window, &after);
    EXPECT_EQ(after.left - before.left, 50);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(follower.rect.left, 250);
    EXPECT_EQ(fixed.rect.left, 10);
}

TEST(Placement, CentredOnTheReferenceAndPushedIntoTheWorkArea) {
    const RECT area{0, 0, 1280, 1000};
    // Centred on the reference.
    EXPECT_TRUE(Same(PlaceRectOnWorkArea(RECT{0, 0, 200, 100}, RECT{100, 100, 500, 300}, area),
                     RECT{200, 150, 400, 250}));
    // Off the top left: pushed onto the work area.
    EXPECT_TRUE(Same(PlaceRectOnWorkArea(RECT{0, 0, 200, 100}, RECT{-50, -50, 50, 50}, area),
                     RECT{0, 0, 200, 100}));
    // Wholly outside on a side: it keeps its place on that side.
    EXPECT_TRUE(Same(PlaceRectOnWorkArea(RECT{0, 0, 200, 100}, RECT{-100, -100, 0, 0}, area),
                     RECT{0, -100, 200, 0}));
    // Wider than the work area: it ends on the right edge, its left edge outside.
    const RECT wide = PlaceRectOnWorkArea(RECT{0, 0, 2000, 100}, area, area);
    EXPECT_EQ(wide.right, area.right);
    EXPECT_EQ(wide.left, area.right - 2000);
    // Extreme coordinates neither overflow nor lose the size.
    const RECT distant = PlaceRectOnWorkArea(RECT{INT32_MIN + 1, 0, INT32_MIN + 201, 100},
                                         RECT{INT32_MAX - 10, 0, INT32_MAX, 100}, area);
    EXPECT_EQ(distant.right - distant.left, 200);
}

TEST(Placement, ARectangleOnNoMonitorIsCentredOneOnAMonitorKept) {
    RECT onScreen{100, 100, 400, 300};
    EXPECT_TRUE(WinWindowRect::KeepOnScreen(onScreen));
    EXPECT_TRUE(Same(onScreen, RECT{100, 100, 400, 300}));
    RECT lost{30000, 30000, 30300, 30200};
    EXPECT_FALSE(WinWindowRect::KeepOnScreen(lost));
    const RECT area = WorkArea();
    EXPECT_EQ(lost.right - lost.left, 300);
    EXPECT_EQ((lost.left + lost.right) / 2, (area.left + area.right) / 2);
    EXPECT_EQ((lost.top + lost.bottom) / 2, (area.top + area.bottom) / 2);

    WinMonitorChoiceRecord largest{RECT{}, RECT{100, 100, 400, 300}, 0};
    EnumDisplayMonitors(nullptr, nullptr, WinMonitorChoice, reinterpret_cast<LPARAM>(&largest));
    EXPECT_FALSE(IsRectEmpty(&largest.chosen));
}

TEST(WindowRectKeys, ReadWriteAndRefusals) {
    TestSupport::TempFolder temp;
    const std::wstring path = temp.Join(L"Gui.ini");
    RawLayer::ProfileFileRef file = RawLayer::ProfileFileRef::FromPath(RawString::FromWideText(path.c_str()));
    const RawString prefix = Text("WindowRect");

    RawParameterList written;
    WinWindowRect::Write(RECT{-20, 30, 820, 630}, prefix, written);
    ASSERT_TRUE(written.WriteSection(file, Text("MainDialog")));
    const std::string content = TestSupport::FileText(path);
    EXPECT_NE(content.find("WindowRect_L=-20"), std::string::npos);
    EXPECT_NE(content.find("WindowRect_B=630"), std::string::npos);
    RawParameterList read;
    ASSERT_TRUE(read.ReadSection(file, Text("MainDialog")));
    RECT rect{};
    EXPECT_TRUE(WinWindowRect::Read(rect, prefix, read));
    EXPECT_TRUE(Same(rect, RECT{-20, 30, 820, 630}));

    // Only the left edge stored: only the left edge changes.
    RawParameterList left;
    left.SetText(Text("X_L"), Text("7"));
    RECT partial{1, 2, 300, 400};
    EXPECT_TRUE(WinWindowRect::Read(partial, Text("X"), left));
    EXPECT_TRUE(Same(partial, RECT{7, 2, 300, 400}));

    // Inverted, or far beyond any screen: refused, the rectangle kept whole.
    for (const char* section : {"Inverted", "Huge"}) {
        const bool inverted = std::string(section) == "Inverted";
        RawParameterList bad;
        WinWindowRect::Write(inverted ? RECT{500, 500, 100, 600} : RECT{0, 0, 2000000, 400}, prefix, bad);
        ASSERT_TRUE(bad.WriteSection(file, Text(section)));
        RawParameterList back;
        ASSERT_TRUE(back.ReadSection(file, Text(section)));
        RECT kept{10, 20, 30, 40};
        EXPECT_FALSE(WinWindowRect::Read(kept, prefix, back)) << section;
        EXPECT_TRUE(Same(kept, RECT{10, 20, 30, 40})) << section;
    }
}

TEST(Fitting, ContentSizeMarginsFrameAndTheFontChain) {
    TestSupport::TestControl view("STATIC", "Fitted text", WS_CHILD);
    // No font of its own and none up the chain: the environment's default.
    EXPECT_EQ(&view.GetEffectiveFont(), &WinEnvironment::Instance().font);
    WinFontParameter dialogFont;
    dialogFont.Init();
    WinViewStyle dialogStyle;
    dialogStyle.font = &dialogFont;
    view.parentStyle = &dialogStyle;
    EXPECT_EQ(&view.GetEffectiveFont(), &dialogFont);
    view.parentStyle = nullptr;

    view.FitToContent();
    EXPECT_GT(view.naturalWidth, 0);
    EXPECT_GT(view.naturalHeight, 0);
    EXPECT_EQ(view.fittedWidth, view.naturalWidth);
    view.marginLeft = view.marginRight = 5;
    view.marginTop = 2;
    view.style = WS_CHILD | WS_HSCROLL | WS_VSCROLL;
    view.FitToContent();
    const int bar = GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(view.fittedWidth, view.naturalWidth + 10 + bar);
    EXPECT_EQ(view.fittedHeight, view.naturalHeight + 2 + bar);
}
