// With all but a few hundred GDI handles taken, a thousand of each drawing
// operation of the controls still paint the right pixels: a single object
// leaked per call would have used up the rest long before.
// USES_FOREGROUND: its window takes the activation of the shared display.
#include <gtest/gtest.h>

#include "support/window_support.h"
#include "toolkit/bitmap_pool.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/hint_button.h"
#include "toolkit/radio_button.h"
#include "toolkit/tab_bar.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::DibCanvas;
using TestSupport::TestDialog;

namespace {

constexpr int kRounds = 1000;
constexpr int kLeaveFree = 300;

void PaintAgain(const WinView& view, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        InvalidateRect(view.window, nullptr, FALSE);
        UpdateWindow(view.window);
    }
}

}  // namespace

TEST(GdiStress, AThousandOfEachStillPaintsRight) {
    WinEnvironment::Instance();
    WinButton button;
    button.Construct();
    button.SetCaption(RawString::FromText("Checked"), 0x10FF, 0);
    button.checked = true;
    button.rect = RECT{10, 10, 130, 50};
    WinTabBar tabs;
    tabs.Construct();
    tabs.rect = RECT{10, 60, 330, 90};
    RawLayer::RawLabelList labels;
    labels.Add(RawString::FromText("Only"), 1);
    labels.selectedValue = 1;
    WinRadioButton radio;
    radio.Construct();
    radio.SetItems(RawString(), &labels, 0);
    radio.FitToContent();
    radio.rect = RECT{10, 100, 10 + radio.fittedWidth, 130};
    WinHintButton hint;
    hint.Construct();
    hint.rect = RECT{200, 100, 230, 130};
    TestDialog dialog("TkGdiStress", L"Stress", RECT{40, 40, 420, 260});
    dialog.makeChildren = [&](TestDialog& d) {
        for (WinView* view : {static_cast<WinView*>(&button), static_cast<WinView*>(&tabs),
                              static_cast<WinView*>(&radio), static_cast<WinView*>(&hint)})
            d.CreateChild(*view);
    };
    dialog.Create();
    tabs.AddItem(RawString::FromText("first"), nullptr);
    tabs.SelectTab(tabs.AddItem(RawString::FromText("second"), nullptr));
    TestSupport::PumpUntilIdle();
    WinBitmapPool pool;
    ASSERT_TRUE(pool.SetCellSize(16, 16));
    ASSERT_TRUE(pool.Reserve(1));
    const HICON icon = TestSupport::MakeIcon(16, 16, [](int, int) { return 0x80FF0000u; }, nullptr);
    const int32_t live = GdiLiveObjects();

    TestSupport::GdiHog hog(kLeaveFree);
    ASSERT_GT(hog.Taken(), 10000);
    for (int i = 0; i < kRounds; ++i) ASSERT_EQ(pool.ReadIcon(0, icon), 0) << i;
    EXPECT_EQ(pool.CellPixels(0)[17], 0x80FF0000u);
    DibCanvas canvas(40, 40, RGB(0, 0, 255));
    for (int i = 0; i < kRounds; ++i) pool.DrawCell(0, canvas.Dc(), RECT{0, 0, 16, 16});
    // Alpha 128 red, laid a thousand times over blue: red all but 255,
    // blue all but gone.
    EXPECT_GE(GetRValue(canvas.Pixel(8, 8)), 254);
    EXPECT_LE(GetBValue(canvas.Pixel(8, 8)), 1);
    pool.DrawCell(0, canvas.Dc(), RECT{20, 20, 40, 40});
    EXPECT_EQ(GetBValue(canvas.Pixel(30, 30)), 127) << "blended once more into a stretched rectangle";

    for (const WinView* view : {static_cast<const WinView*>(&button), static_cast<const WinView*>(&tabs),
                                static_cast<const WinView*>(&radio), static_cast<const WinView*>(&hint)})
        PaintAgain(*view, kRounds);
    const DibCanvas face = DibCanvas::CaptureClient(button.window);
    EXPECT_EQ(face.Pixel(1, 10), 0xFF27FFu);
    const DibCanvas strip = DibCanvas::CaptureClient(tabs.window);
    EXPECT_EQ(strip.Pixel(315, 29), RGB(0xF1, 0xF1, 0xF1));
    EXPECT_GT(strip.CountColor(RGB(0x70, 0x70, 0x70)), 10) << "the close glyphs";
    const DibCanvas group = DibCanvas::CaptureClient(radio.window);
    EXPECT_EQ(group.Pixel(1, 7), 0xFF27FFu);
    const DibCanvas symbol = DibCanvas::CaptureClient(hint.window);
    int dark = 0;
    for (int y = 5; y < symbol.Height() - 5; ++y)
        for (int x = 5; x < symbol.Width() - 5; ++x) dark += GetRValue(symbol.Pixel(x, y)) < 0x90;
    EXPECT_GT(dark, 10) << "the drop-down triangle";
    pool.Release();
    EXPECT_EQ(GdiLiveObjects(), live);
    DestroyIcon(icon);
}
