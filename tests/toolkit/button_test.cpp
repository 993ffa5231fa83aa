// Push buttons, labels and image boxes on real dialogs: the click and key
// chains, the toggle, and the pixels of faces, texts and backgrounds.
// USES_FOREGROUND: focus is one per display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/window_support.h"
#include "toolkit/button.h"
#include "toolkit/environment.h"
#include "toolkit/image_box.h"
#include "toolkit/static_box.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::DibCanvas;
using TestSupport::TestDialog;

namespace {

constexpr COLORREF kPage = RGB(200, 30, 30);
constexpr COLORREF kGrey = RGB(0xA0, 0xA0, 0xA0);

RawString Text(const char* text) { return RawString::FromText(text); }

std::string ChildCommand(const WinView& child, int code) {
    return "child command " + std::to_string(child.controlId) + " " + std::to_string(code);
}

std::vector<std::string> CommandsOf(const TestDialog& dialog) {
    std::vector<std::string> commands;
    for (const std::string& line : dialog.journal)
        if (line.compare(0, 14, "child command ") == 0) commands.push_back(line);
    return commands;
}

void MakeButton(WinButton& button, const char* caption, uint32_t style, uint32_t code, RECT rect) {
    button.Construct();
    button.SetCaption(Text(caption), style, code);
    button.rect = rect;
}

// Rows of a rectangle that hold a pixel darker than `limit` (the sum of
// the three channels): the text's ink.
std::vector<int> InkRows(const DibCanvas& canvas, const RECT& area, int limit = 300) {
    std::vector<int> rows;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF c = canvas.Pixel(x, y);
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < limit) {
                rows.push_back(y);
                break;
            }
        }
    }
    return rows;
}

int Bands(const std::vector<int>& rows) {
    int bands = 0;
    for (size_t i = 0; i < rows.size(); ++i) bands += (i == 0 || rows[i] != rows[i - 1] + 1);
    return bands;
}

}  // namespace

TEST(PushButton, ClicksAndKeysReachTheOwnerAndMoveTheFocus) {
    WinButton first, finish, last;
    MakeButton(first, "first", 0xF, 0, RECT{10, 10, 110, 40});
    MakeButton(finish, "Finish", 0xF, WinNotify::FinishButton, RECT{10, 50, 110, 80});
    MakeButton(last, "last", 0xF, 0, RECT{10, 90, 110, 120});
    TestDialog dialog("TkButtonClick", L"Click", RECT{60, 60, 360, 260});
    dialog.makeChildren = [&](TestDialog& d) {
        d.CreateChild(first);
        d.CreateChild(finish);
        d.CreateChild(last);
    };
    dialog.Create();
    ASSERT_NE(finish.window, nullptr);
    TestSupport::PumpUntilIdle();

    // A click: the owner sees 0, then the code the button posted.
    TestSupport::SendMouse(finish.window, WM_LBUTTONDOWN, 20, 10, MK_LBUTTON);
    TestSupport::SendMouse(finish.window, WM_LBUTTONUP, 20, 10);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(CommandsOf(dialog),
              (std::vector<std::string>{ChildCommand(finish, 0), ChildCommand(finish, WinNotify::FinishButton)}));

    // Enter and Space click as well.
    for (UINT key : {VK_RETURN, VK_SPACE}) {
        dialog.journal.clear();
        TestSupport::PostKey(finish.window, key);
        TestSupport::PumpUntilIdle();
        EXPECT_EQ(CommandsOf(dialog), (std::vector<std::string>{ChildCommand(finish, 0),
                                                                ChildCommand(finish, WinNotify::FinishButton)}))
            << key;
    }

    // Left and Up go back, Right and Down forward.
    const std::pair<UINT, const WinButton*> moves[] = {
        {VK_LEFT, &first}, {VK_UP, &first}, {VK_RIGHT, &last}, {VK_DOWN, &last}};
    for (const auto& move : moves) {
        SetFocus(finish.window);
        ASSERT_EQ(GetFocus(), finish.window);
        TestSupport::SendKey(finish.window, move.first);
        EXPECT_EQ(GetFocus(), move.second->window) << move.first;
    }
}

TEST(PushButton, FacePixelsFollowStateCheckAndCaption) {
    WinButton toggle, plain, twoLines, disabled;
    MakeButton(toggle, "Toggle", 0x10FF, 0, RECT{10, 10, 130, 50});
    MakeButton(plain, "Plain", 0xF, 0, RECT{140, 10, 260, 50});
    MakeButton(twoLines, "Check\\nAll", 0xF, 0, RECT{10, 60, 130, 120});
    MakeButton(disabled, "Off", 0xF, 0, RECT{140, 60, 260, 120});
    disabled.style |= WS_DISABLED;
    TestDialog dialog("TkButtonFace", L"Face", RECT{80, 80, 380, 300});
    dialog.makeChildren = [&](TestDialog& d) {
        for (WinButton* b : {&toggle, &plain, &twoLines, &disabled}) d.CreateChild(*b);
    };
    dialog.Create();
    TestSupport::PumpUntilIdle();

    // The toggle flips on each click; while checked its 2-pixel border ring
    // is 0xFF27FF above the middle and 0xFF00FF below.
    const int h = 40;
    for (bool expected : {true, false, true}) {
        TestSupport::SendMouse(toggle.window, WM_LBUTTONDOWN, 30, 20, MK_LBUTTON);
        TestSupport::SendMouse(toggle.window, WM_LBUTTONUP, 30, 20);
        TestSupport::PumpUntilIdle();
        EXPECT_EQ(toggle.checked, expected);
        const DibCanvas face = DibCanvas::CaptureClient(toggle.window);
        for (int side : {1, 118}) {
            EXPECT_EQ(face.Pixel(side, h / 4) == 0xFF27FF, expected) << side;
            EXPECT_EQ(face.Pixel(side, 3 * h / 4) == 0xFF00FF, expected) << side;
        }
        EXPECT_EQ(face.Pixel(60, 1) == 0xFF27FF, expected);
        EXPECT_EQ(face.Pixel(60, h - 2) == 0xFF00FF, expected);
    }

    // The focused button's outer frame: 0xFF0000 at the top, 0xF00000 at
    // the bottom.
    SetFocus(plain.window);
    TestSupport::PumpUntilIdle();
    ASSERT_EQ(GetFocus(), plain.window);
    const DibCanvas focused = DibCanvas::CaptureClient(plain.window);
    EXPECT_EQ(focused.Pixel(60, 0), 0xFF0000u);
    EXPECT_EQ(focused.Pixel(60, h - 1), 0xF00000u);
    EXPECT_EQ(focused.Pixel(20, h - 1), 0xF00000u) << "the bottom edge is straight over its whole width";

    // "Check\nAll" draws two lines of ink.
    const DibCanvas lines = DibCanvas::CaptureClient(twoLines.window);
    EXPECT_EQ(Bands(InkRows(lines, RECT{8, 4, 112, 56})), 2);

    // Disabled text is grey and the face has no dark ink.
    const DibCanvas off = DibCanvas::CaptureClient(disabled.window);
    EXPECT_GT(off.CountColor(RECT{8, 8, 112, 52}, kGrey), 5);
    EXPECT_TRUE(InkRows(off, RECT{8, 8, 112, 52}).empty());
    EXPECT_EQ(off.Pixel(60, 0), RGB(0xC0, 0xC0, 0xC0));
}

TEST(PushButton, CornerRadiusStopsAtHalfTheFace) {
    // "ButtonR" beyond half the button's height paints as half the height,
    // never as arcs that cross.
    WinButton button;
    MakeButton(button, "", 0xF, 0, RECT{10, 10, 130, 34});
    TestDialog dialog("TkButtonRadius", L"Radius", RECT{80, 80, 300, 200});
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
    dialog.Create();
    TestSupport::PumpUntilIdle();
    WinEnvironment& environment = WinEnvironment::Instance();
    const int kept = environment.buttonRadius;
    auto paint = [&](int radius) {
        environment.buttonRadius = radius;
        InvalidateRect(button.window, nullptr, TRUE);
        UpdateWindow(button.window);
        return DibCanvas::CaptureClient(button.window);
    };
    const DibCanvas half = paint(12);
    for (int radius : {13, 40, 64}) {
        const DibCanvas wide = paint(radius);
        int differing = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 120; ++x) differing += wide.Pixel(x, y) != half.Pixel(x, y);
        EXPECT_EQ(differing, 0) << radius;
    }
    environment.buttonRadius = kept;
}

TEST(Labels, BackgroundBandsAndDisabledText) {
    WinStaticBox plain, banded, disabled;
    for (WinStaticBox* label : {&plain, &banded, &disabled}) {
        label->Construct();
        label->SetText(Text("Label"));
    }
    plain.rect = RECT{10, 10, 110, 50};
    banded.rect = RECT{120, 10, 220, 51};
    banded.background = RGB(250, 240, 200);
    banded.lowerHalf = RGB(200, 225, 250);
    disabled.rect = RECT{10, 60, 110, 100};
    disabled.style |= WS_DISABLED;
    WinIconRecord icon;
    icon.icon = TestSupport::MakeIcon(16, 16, [](int, int) { return 0xFF00C000u; }, nullptr);
    icon.width = icon.height = 16;
    WinImageBox image;
    image.Construct();
    image.image = &icon;
    image.rect = RECT{120, 60, 136, 76};
    TestDialog dialog("TkLabels", L"Labels", RECT{100, 100, 400, 300});
    dialog.paintColour = kPage;
    dialog.makeChildren = [&](TestDialog& d) {
        for (WinView* view : {static_cast<WinView*>(&plain), static_cast<WinView*>(&banded),
                              static_cast<WinView*>(&disabled), static_cast<WinView*>(&image)})
            d.CreateChild(*view);
    };
    dialog.Create();
    TestSupport::PumpUntilIdle();
    EXPECT_TRUE(plain.flags & WinViewStyle::StyleNoTabStop);

    const DibCanvas page = DibCanvas::CaptureClient(dialog.window);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(page.Pixel(105, 45), face) << "the default background is the button face";
    EXPECT_EQ(page.CountColor(RECT{10, 10, 110, 50}, kPage), 0);
    EXPECT_GT(page.CountColor(RECT{10, 10, 110, 50}, face), 3000);
    // Bands split at (51 - 10) / 2 + 10 = 30.
    EXPECT_EQ(page.Pixel(215, 29), RGB(250, 240, 200));
    EXPECT_EQ(page.Pixel(215, 30), RGB(200, 225, 250));
    EXPECT_EQ(page.Pixel(215, 50), RGB(200, 225, 250));
    // The text is ink at the top left; the disabled one is grey.
    EXPECT_FALSE(InkRows(page, RECT{10, 10, 110, 50}).empty());
    EXPECT_GT(page.CountColor(RECT{10, 60, 110, 100}, kGrey), 5);
    EXPECT_TRUE(InkRows(page, RECT{10, 60, 110, 100}).empty());
    // The image box shows its icon.
    EXPECT_EQ(page.CountColor(RECT{120, 60, 136, 76}, RGB(0, 0xC0, 0)), 256);
    DestroyIcon(icon.icon);
}
