// The viewer's own window pieces, read back as pixels: the shape painter,
// the icon button, the divider keys, the page margins and the plain rows of
// the list layer, and painting with the GDI handles nearly used up.
#include <gtest/gtest.h>

#include <algorithm>

#include "quenby/app/line_list_box.h"
#include "quenby/app/viewer_fixture.h"
#include "quenby/app/viewer_pieces.h"

using namespace ViewerTest;
using TestSupport::DibCanvas;

TEST(ViewerPieces, ShapeEdgesAreBlendedAndTheDcKeepsItsObjects) {
    DibCanvas canvas(40, 40, RGB(255, 255, 255));
    const HGDIOBJ pen = SelectObject(canvas.Dc(), GetStockObject(BLACK_PEN));
    const HGDIOBJ brush = SelectObject(canvas.Dc(), GetStockObject(GRAY_BRUSH));
    (void)pen;
    (void)brush;
    WinLayer::WinShapePainter::Draw(canvas.Dc(), RECT{5, 5, 35, 35}, RGB(255, 0, 0), RGB(255, 0, 0), 0);
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_BRUSH), GetStockObject(GRAY_BRUSH));
    EXPECT_EQ(canvas.Pixel(20, 20), RGB(255, 0, 0));
    EXPECT_EQ(canvas.Pixel(2, 2), RGB(255, 255, 255));
    const int solid = canvas.CountColor(RGB(255, 0, 0));
    const int white = canvas.CountColor(RGB(255, 255, 255));
    EXPECT_GT(40 * 40 - solid - white, 20);
}

TEST(ViewerPieces, WithoutRoomForItsBitmapsTheShapeIsStillDrawnAndTheDcKept) {
    DibCanvas canvas(60, 60, RGB(255, 255, 255));
    SelectObject(canvas.Dc(), GetStockObject(BLACK_PEN));
    SelectObject(canvas.Dc(), GetStockObject(GRAY_BRUSH));
    int drawn = 0;
    {
        // Room for a pen and a brush, not for the two bitmaps and the DC.
        TestSupport::GdiHog hog(3);
        ASSERT_GT(hog.Taken(), 1000);
        WinLayer::WinShapePainter::Draw(canvas.Dc(), RECT{5, 5, 55, 55}, RGB(255, 0, 0), RGB(255, 0, 0), 0);
        EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
        EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_BRUSH), GetStockObject(GRAY_BRUSH));
        drawn = canvas.CountColor(RGB(255, 0, 0));
    }
    EXPECT_GT(drawn, 1000);
    // Drawn directly: no blended edge.
    EXPECT_EQ(60 * 60 - drawn - canvas.CountColor(RGB(255, 255, 255)), 0);
}

TEST(ViewerPieces, TheIconButtonCentresItsIconOnTheFaceColour) {
    const COLORREF red = RGB(255, 0, 0);
    HICON icon = TestSupport::MakeIcon(16, 16, [](int, int) { return 0xFFFF0000u; }, [](int, int) { return false; });
    WinLayer::WinIconButton button;
    button.SetIcon(icon, true);
    DibCanvas canvas(60, 40, RGB(1, 2, 3));
    button.PaintIcon(canvas.Dc(), RECT{10, 5, 50, 35});
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    EXPECT_EQ(canvas.Pixel(11, 6), face);
    EXPECT_EQ(canvas.Pixel(48, 33), face);
    EXPECT_EQ(canvas.Pixel(5, 20), RGB(1, 2, 3));
    const RECT bounds = canvas.BoundsOf(red);
    ASSERT_FALSE(IsRectEmpty(&bounds));
    EXPECT_NEAR((bounds.left + bounds.right) / 2.0, 30.0, 1.0);
    EXPECT_NEAR((bounds.top + bounds.bottom) / 2.0, 20.0, 1.0);
}

TEST(ViewerPieces, TheDividerStepsWithTheArrowKeysAndStopsAtItsLimit) {
    ViewerRun run;
    run.Write(L"Quenby.ini",
              "[Common]\r\nProgram=Quenby\r\n[MainDialog]\r\nWindowRect_L=50\r\nWindowRect_T=50\r\n"
              "WindowRect_R=1050\r\nWindowRect_B=750\r\n");
    ASSERT_TRUE(run.Start(""));
    auto& items = run.Dialog()->items;
    const HWND divider = items.divider.window;
    const LONG start = items.divider.rect.left;
    TestSupport::SendKey(divider, VK_RIGHT);
    EXPECT_EQ(items.divider.rect.left, start + 3);
    EXPECT_EQ(items.tree.rect.right, start + 3);
    TestSupport::SetModifiers(false, true, false);
    TestSupport::SendKey(divider, VK_RIGHT);
    TestSupport::SetModifiers(false, false, false);
    EXPECT_EQ(items.divider.rect.left, start + 13);
    run.Dialog()->MoveDividerTo(100000);
    const LONG limit = items.divider.rect.left;
    EXPECT_EQ(items.view.Width(), AppLayer::GuiMainDialog::kPaneLeastWidth);
    TestSupport::SendKey(divider, VK_RIGHT);
    EXPECT_EQ(items.divider.rect.left, limit);
}

TEST(ViewerPieces, AClickInAPageMarginHitsNothing) {
    ViewerRun run;
    std::string text;
    for (int i = 0; i < 40; ++i) text += "Line " + std::to_string(i) + "\r\n\r\n";
    const std::wstring doc = run.Write(L"doc.md", text);
    ASSERT_TRUE(run.Start("\"" + TestSupport::Utf8(doc) + "\""));
    AppLayer::GuiViewBox& view = run.Dialog()->items.view;
    view.SetPageMode(200, RECT{10, 40, 10, 30});
    view.Refresh();
    view.MoveCursorTo(2);
    TestSupport::PumpUntilIdle();
    const int cursor = view.cursor;
    ASSERT_GE(cursor, 0);
    const int y = view.marginTop + 10;
    EXPECT_EQ(view.HitTestPage(POINT{30, y}), -1);
    TestSupport::SendMouse(view.window, WM_LBUTTONDOWN, 30, y, MK_LBUTTON);
    TestSupport::SendMouse(view.window, WM_LBUTTONUP, 30, y);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(view.cursor, cursor);
    EXPECT_TRUE(view.ItemAt(cursor)->flags & WinLayer::WinListBoxItemUnit::ItemSelected);
    // A point of the text band of the second page hits a line.
    EXPECT_GE(view.HitTestPage(POINT{30, view.marginTop + 200 + 60}), 0);
}

namespace {

// The smallest rectangle holding every pixel that is not the colour.
RECT InkBounds(const DibCanvas& canvas, const RECT& area, COLORREF paper) {
    RECT ink{area.right, area.bottom, area.left, area.top};
    for (LONG y = area.top; y < area.bottom; ++y) {
        for (LONG x = area.left; x < area.right; ++x) {
            if (canvas.Pixel(x, y) == paper) continue;
            ink = RECT{std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1),
                       std::max(ink.bottom, y + 1)};
        }
    }
    return ink;
}

}  // namespace

TEST(ViewerPieces, PlainLineRowsDrawTheirTextTwoPixelsInsideTheirRow) {
    DocLayer::JobLineList document(nullptr);
    for (int i = 0; i < 2; ++i) {
        DocLayer::JobLineUnit* line = document.Append(DocLayer::InitLineRecord(&document));
        line->kind = DocLayer::KindParagraph;
        line->text = RawLayer::RawString::FromText("Hill");
    }
    AppLayer::GuiLineListBox box;
    box.Construct(0);
    box.rect = RECT{0, 0, 200, 120};
    TestSupport::TestDialog dialog("Test_PlainRows", L"Rows", RECT{40, 40, 340, 260});
    dialog.makeChildren = [&box](TestSupport::TestDialog& d) { d.CreateChild(box); };
    dialog.Create();
    box.SetDocument(&document);
    box.Refresh();
    const DibCanvas canvas = DibCanvas::CaptureClient(box.window);
    const COLORREF paper = canvas.Pixel(canvas.Width() - 3, canvas.Height() - 3);

    // The same text drawn in the same font at the origin: where its ink
    // starts when nothing is added.
    DibCanvas plain(200, 60, paper);
    {
        const HGDIOBJ before = SelectObject(plain.Dc(), box.GetEffectiveFont().handle);
        SetBkMode(plain.Dc(), TRANSPARENT);
        SetTextColor(plain.Dc(), WinLayer::ListTextColor());
        TextOutW(plain.Dc(), 0, 0, L"Hill", 4);
        SelectObject(plain.Dc(), before);
    }
    const RECT bare = InkBounds(plain, RECT{0, 0, plain.Width(), plain.Height()}, paper);
    ASSERT_LT(bare.left, bare.right);

    // Rows are a line and 2 + 2 pixels high, their text 2 pixels in from the
    // left edge of the list's inner area.
    const LONG row = box.lineStep.cy + 4;
    const LONG left = box.marginLeft, top = box.marginTop;
    const RECT first = InkBounds(canvas, RECT{left, top, canvas.Width() - 4, top + row}, paper);
    const RECT second = InkBounds(canvas, RECT{left, top + row, canvas.Width() - 4, top + 2 * row}, paper);
    ASSERT_LT(first.left, first.right);
    ASSERT_LT(second.left, second.right);
    EXPECT_EQ(first.left, left + 2 + bare.left);
    EXPECT_EQ(second.left, first.left);
    EXPECT_EQ(second.top - first.top, row);
    EXPECT_EQ(first.right - first.left, bare.right - bare.left);
    DestroyWindow(dialog.window);
    TestSupport::PumpUntilIdle(300);
}

TEST(ViewerPieces, PaintingWithGdiHandlesNearlyUsedUpStaysRight) {
    ViewerRun run;
    ASSERT_TRUE(run.Start(""));
    auto& items = run.Dialog()->items;
    const HWND window = run.Window();
    RECT row{};
    GetClientRect(window, &row);
    row.bottom = items.buttonRow.rect.bottom + 2;
    DibCanvas before = DibCanvas::CaptureClient(window);
    HICON icon = TestSupport::MakeIcon(16, 16, [](int, int) { return 0xFF00A000u; }, [](int, int) { return false; });
    WinLayer::WinIconButton button;
    button.SetIcon(icon, true);
    DibCanvas iconBefore(40, 30);
    button.PaintIcon(iconBefore.Dc(), RECT{0, 0, 40, 30});
    DibCanvas iconAfter(40, 30);
    {
        TestSupport::GdiHog hog(300);
        ASSERT_GT(hog.Taken(), 1000);
        for (int i = 0; i < 1000; ++i) {
            RedrawWindow(window, &row, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            button.PaintIcon(iconAfter.Dc(), RECT{0, 0, 40, 30});
        }
    }
    TestSupport::PumpUntilIdle();
    DibCanvas after = DibCanvas::CaptureClient(window);
    int differing = 0;
    for (LONG y = 0; y < row.bottom; ++y) {
        for (LONG x = 0; x < row.right; ++x) {
            if (before.Pixel(x, y) != after.Pixel(x, y)) ++differing;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_TRUE(iconBefore.SameAs(iconAfter));
}
