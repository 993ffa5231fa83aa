// The plane box on a real dialog: content smaller than the area sits left,
// right or centred across, and top, bottom or centred down, by the view's
// fitting flags; the wheel scrolls larger content and stops at its end.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/window_support.h"
#include "toolkit/plane_box.h"

using namespace WinLayer;
using TestSupport::DibCanvas;
using TestSupport::TestDialog;

namespace {

constexpr COLORREF kContent = RGB(0x20, 0x80, 0x20);
constexpr int kWidth = 200;
constexpr int kHeight = 100;

// A plane whose content is a block of a given size, painted as a band of
// at most 20 pixels along its bottom.
class BlockPlane : public WinPlaneBox {
public:
    void MeasureContent(WinDrawContext&, const RECT&, SIZE& size) override { size = block; }
    void PaintContent(WinDrawContext& dc, const RECT&, const RECT& inner, POINT offset) override {
        const LONG top = inner.top - offset.y;
        const RECT at{inner.left - offset.x, top + block.cy - std::min<LONG>(block.cy, 20),
                      inner.left - offset.x + block.cx, top + block.cy};
        HBRUSH brush = CreateSolidBrush(kContent);
        FillRect(dc.dc, &at, brush);
        DeleteObject(brush);
    }
    SIZE block{40, 20};
};

RECT PlacedBlock(uint16_t flags, SIZE block, int wheelSteps = 0) {
    TestDialog dialog("TkPlaneBox", L"Plane", RECT{100, 100, 400, 300});
    BlockPlane plane;
    plane.Construct();
    plane.viewFlags = flags;
    plane.block = block;
    plane.rect = RECT{10, 10, 10 + kWidth, 10 + kHeight};
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(plane); };
    dialog.Create();
    for (int i = 0; i < wheelSteps; ++i) SendMessageW(plane.window, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    InvalidateRect(plane.window, nullptr, FALSE);
    UpdateWindow(plane.window);
    return DibCanvas::CaptureClient(plane.window).BoundsOf(kContent);
}

TEST(PlaneBoxTest, SmallContentSitsByTheViewFlagsAndTheWheelStopsAtTheEnd) {
    const int m = 2;
    const RECT left = PlacedBlock(WinViewFitting::FitAlignLeft | WinViewFitting::FitAlignTop, SIZE{40, 20});
    EXPECT_EQ(left.left, m);
    EXPECT_EQ(left.top, m);
    const RECT right = PlacedBlock(WinViewFitting::FitAlignRight | WinViewFitting::FitAlignBottom, SIZE{40, 20});
    EXPECT_EQ(right.right, kWidth - m);
    EXPECT_EQ(right.bottom, kHeight - m);
    const RECT centre = PlacedBlock(WinViewFitting::FitCentre | WinViewFitting::FitMiddle, SIZE{40, 20});
    EXPECT_EQ(centre.left, m + (kWidth - 2 * m - 40) / 2);
    EXPECT_EQ(centre.top, m + (kHeight - 2 * m - 20) / 2);

    // Taller content: its bottom band is out of sight until the wheel has
    // scrolled to the end, and there it stops.
    EXPECT_TRUE(IsRectEmpty(&static_cast<const RECT&>(PlacedBlock(0, SIZE{40, 300}, 0))));
    const RECT scrolled = PlacedBlock(0, SIZE{40, 300}, 40);
    EXPECT_EQ(scrolled.bottom, kHeight - m);
    EXPECT_EQ(scrolled.top, kHeight - m - 20);
}

}  // namespace
