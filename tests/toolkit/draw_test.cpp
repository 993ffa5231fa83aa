// Drawing helpers, checked on the pixels of a DIB section: text of every
// encoding, round boxes, frames and glyphs, what the DC holds afterwards,
// and the memory DC. RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "support/window_support.h"
#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/view.h"

using namespace WinLayer;
using RawLayer::RawRange;
using RawLayer::RawString;
using TestSupport::DibCanvas;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(220, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);
constexpr COLORREF kLight = RGB(0, 200, 0);
constexpr COLORREF kDark = RGB(0, 0, 120);

// The text drawn in black on white with the default font.
DibCanvas Drawn(const RawString& text) {
    DibCanvas canvas(240, 40);
    WinDrawContext dc(canvas.Dc());
    dc.Select(WinEnvironment::Instance().font.handle);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    SetTextColor(canvas.Dc(), kBlack);
    RECT rect{2, 2, 238, 38};
    WinView::DrawTextRange(dc, rect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX, text, text.All(), 4);
    dc.Restore();
    return canvas;
}

int InkOf(const DibCanvas& canvas) { return canvas.Width() * canvas.Height() - canvas.CountColor(kWhite); }

int CountInRow(const DibCanvas& canvas, int y, COLORREF colour) {
    return canvas.CountColor(RECT{0, y, canvas.Width(), y + 1}, colour);
}

}  // namespace

TEST(TextDrawing, EveryEncodingOfOneTextDrawsTheSamePixels) {
    const std::wstring samples[] = {L"Hello, World 123", L"\u6BD4\u8F03\u3042\u3044 abc"};
    for (const std::wstring& sample : samples) {
        const RawString wide = RawString::FromWideText(sample.c_str());
        const RawString utf8(RawLayer::KindUtf8, wide);
        const RawString sjis(RawLayer::KindSjis, wide);
        ASSERT_EQ(sjis.Kind(), RawLayer::KindSjis);
        const DibCanvas reference = Drawn(wide);
        EXPECT_GT(InkOf(reference), 20) << "nothing was drawn";
        EXPECT_TRUE(Drawn(utf8).SameAs(reference)) << TestSupport::Utf8(sample) << " as UTF-8";
        EXPECT_TRUE(Drawn(sjis).SameAs(reference)) << TestSupport::Utf8(sample) << " as Shift_JIS";
    }
    // A range draws only its part.
    const RawString text = RawString::FromText("abcdef");
    DibCanvas part(240, 40);
    WinDrawContext dc(part.Dc());
    RECT rect{2, 2, 238, 38};
    WinView::DrawTextRange(dc, rect, DT_SINGLELINE | DT_NOPREFIX, text, RawRange{3, 3}, 4);
    EXPECT_EQ(InkOf(part), 0);
}

TEST(TextDrawing, AnEmptyRangeMeasuresOneLineHighAndNothingWide) {
    DibCanvas canvas(100, 100);
    WinDrawContext dc(canvas.Dc());
    dc.Select(WinEnvironment::Instance().font.handle);
    const RawString text = RawString::FromText("Measured");
    RECT line{5, 5, 400, 400};
    const int lineHeight = WinView::MeasureTextRange(dc, line, DT_SINGLELINE | DT_NOPREFIX, text, text.All(), 4);
    RECT empty{5, 5, 400, 400};
    const int height = WinView::MeasureTextRange(dc, empty, DT_SINGLELINE | DT_NOPREFIX, text, RawRange{4, 2}, 4);
    dc.Restore();
    EXPECT_GT(lineHeight, 0);
    EXPECT_EQ(height, lineHeight);
    EXPECT_EQ(empty.bottom - empty.top, lineHeight);
    EXPECT_EQ(empty.right, empty.left);
    EXPECT_GT(line.right - line.left, 0);
}

TEST(DrawShapes, RoundBoxesFramesAndTheTriangle) {
    DibCanvas canvas(60, 60);
    WinDrawContext dc(canvas.Dc());
    // Zero radii: two bands split at (bottom - top) / 2 = 15.
    WinDraw::FillRoundBox(dc, RECT{10, 10, 50, 41}, 0, 0, 0, 0, kRed, kBlue);
    EXPECT_EQ(canvas.Pixel(30, 10), kRed);
    EXPECT_EQ(canvas.Pixel(30, 24), kRed);
    EXPECT_EQ(canvas.Pixel(30, 25), kBlue);
    EXPECT_EQ(canvas.Pixel(10, 40), kBlue);
    EXPECT_EQ(canvas.Pixel(49, 40), kBlue);
    EXPECT_EQ(canvas.Pixel(30, 41), kWhite);
    EXPECT_EQ(canvas.Pixel(50, 20), kWhite);
    EXPECT_EQ(canvas.BoundsOf(kRed).bottom, 25);

    // Radius 4: the corners stay in the background colour.
    canvas.Fill(kWhite);
    WinDraw::FillRoundBox(dc, RECT{10, 10, 50, 41}, 4, 4, 4, 4, kRed, kBlue);
    for (POINT corner : {POINT{10, 10}, POINT{49, 10}, POINT{10, 40}, POINT{49, 40}})
        EXPECT_EQ(canvas.Pixel(corner.x, corner.y), kWhite) << corner.x << "," << corner.y;
    EXPECT_EQ(canvas.Pixel(30, 10), kRed);
    EXPECT_EQ(canvas.Pixel(30, 40), kBlue);

    // Frames: light on the top and left, dark on the bottom and right.
    for (int radius : {0, 4}) {
        canvas.Fill(kWhite);
        WinDraw::FrameRoundBox(dc, RECT{10, 10, 50, 40}, radius, radius, radius, radius, kLight, kDark);
        EXPECT_EQ(canvas.Pixel(30, 10), kLight) << radius;
        EXPECT_EQ(canvas.Pixel(10, 25), kLight) << radius;
        EXPECT_EQ(canvas.Pixel(30, 39), kDark) << radius;
        EXPECT_EQ(canvas.Pixel(49, 25), kDark) << radius;
        // Straight over their whole length, also beside a rounded corner.
        EXPECT_EQ(canvas.Pixel(16, 39), kDark) << radius;
        EXPECT_EQ(canvas.Pixel(49, 34), kDark) << radius;
        EXPECT_EQ(canvas.Pixel(30, 25), kWhite) << radius;
    }

    // The triangle points down: wide at the top, narrow at the bottom.
    canvas.Fill(kWhite);
    WinDraw::Triangle(dc, RECT{10, 10, 50, 30}, kBlack);
    EXPECT_GT(CountInRow(canvas, 11, kBlack), 30);
    EXPECT_LT(CountInRow(canvas, 29, kBlack), 5);
    EXPECT_GT(CountInRow(canvas, 29, kBlack), 0);
    const RECT bounds = canvas.BoundsOf(kBlack);
    EXPECT_EQ(bounds.top, 10);
    EXPECT_EQ((bounds.left + bounds.right) / 2, 30);

    canvas.Fill(kBlack);
    WinDraw::WhiteEllipse(dc, RECT{10, 10, 50, 50});
    EXPECT_EQ(canvas.Pixel(30, 30), kWhite);
    EXPECT_EQ(canvas.Pixel(11, 11), kBlack);
}

TEST(DrawShapes, EveryOperationLeavesTheDcAsItFoundItAndNoObjectBehind) {
    const std::vector<std::function<void(WinDrawContext&)>> operations = {
        [](WinDrawContext& dc) { WinDraw::WhiteEllipse(dc, RECT{0, 0, 20, 20}); },
        [](WinDrawContext& dc) { WinDraw::Triangle(dc, RECT{0, 0, 20, 20}, kRed); },
        [](WinDrawContext& dc) { WinDraw::FillRoundBox(dc, RECT{0, 0, 40, 30}, 4, 3, 2, 1, kRed, kBlue); },
        [](WinDrawContext& dc) { WinDraw::FrameRoundBox(dc, RECT{0, 0, 40, 30}, 4, 3, 2, 1, kLight, kDark); },
    };
    DibCanvas canvas(60, 60);
    // Once as usual, once with the GDI table all but full.
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<TestSupport::GdiHog> hog;
        if (round == 1) {
            hog.reset(new TestSupport::GdiHog(3));
            EXPECT_GT(hog->Taken(), 1000);
        }
        const int32_t live = GdiLiveObjects();
        const HGDIOBJ pen = GetCurrentObject(canvas.Dc(), OBJ_PEN);
        const HGDIOBJ brush = GetCurrentObject(canvas.Dc(), OBJ_BRUSH);
        for (size_t i = 0; i < operations.size(); ++i) {
            WinDrawContext dc(canvas.Dc());
            operations[i](dc);
            EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PEN), pen) << "operation " << i << " round " << round;
            EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_BRUSH), brush) << "operation " << i << " round " << round;
            if (round == 0) {
                EXPECT_EQ(dc.previousPen, pen) << "the record keeps the first replacement";
            }
            dc.Restore();
            EXPECT_EQ(GdiLiveObjects(), live) << "operation " << i << " round " << round;
        }
    }
}

TEST(MemoryDc, CopiesBackStretchingBetweenUnequalRectangles) {
    DibCanvas target(80, 40);
    const int32_t live = GdiLiveObjects();
    {
        WinMemoryDC memory;
        ASSERT_TRUE(memory.Begin(target.Dc(), RECT{0, 0, 80, 40}, SIZE{20, 10}));
        GdiBrush red(kRed), blue(kBlue);
        RECT left{0, 0, 10, 10}, right{10, 0, 20, 10};
        FillRect(memory.dc, &left, red.Handle());
        FillRect(memory.dc, &right, blue.Handle());
        ASSERT_TRUE(memory.CopyBack());
        EXPECT_EQ(target.Pixel(5, 20), kRed);
        EXPECT_EQ(target.Pixel(75, 20), kBlue);
        EXPECT_GT(target.CountColor(kRed), 1200) << "the picture was stretched over the whole target";
    }
    {
        WinDrawContext record(target.Dc());
        WinMemoryDC memory;
        ASSERT_TRUE(memory.Begin(record, RECT{40, 0, 80, 40}));
        GdiBrush light(kLight);
        RECT all{0, 0, 40, 40};
        FillRect(memory.dc, &all, light.Handle());
        ASSERT_TRUE(memory.CopyBack());
        EXPECT_EQ(target.CountColor(RECT{40, 0, 80, 40}, kLight), 1600);
        EXPECT_EQ(target.Pixel(5, 20), kRed);
        // The reverse direction fills the picture from the target.
        WinMemoryDC back;
        ASSERT_TRUE(back.Begin(target.Dc(), RECT{0, 0, 80, 40}, SIZE{40, 20}));
        ASSERT_TRUE(back.CopyRect());
        EXPECT_EQ(GetPixel(back.dc, 2, 10), kRed);
        EXPECT_EQ(GetPixel(back.dc, 38, 10), kLight);
    }
    EXPECT_EQ(GdiLiveObjects(), live);
}
