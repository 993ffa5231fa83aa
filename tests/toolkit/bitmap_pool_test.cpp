// The icon pool with icons made in code: the three sampling functions by
// their formulas, the icon-to-alpha rule, refused cells and sizes, and the
// blended, stretched drawing of a cell.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "support/window_support.h"
#include "toolkit/bitmap_pool.h"
#include "toolkit/gdi_scope.h"

using namespace WinLayer;
using TestSupport::DibCanvas;
using TestSupport::MakeIcon;

namespace {

uint32_t Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }

// A pool of 32 x 32 cells with room for `cells`.
void Prepare(WinBitmapPool& pool, int cells) {
    ASSERT_TRUE(pool.SetCellSize(32, 32));
    ASSERT_TRUE(pool.Reserve(cells));
}

std::vector<uint32_t> Cell(const WinBitmapPool& pool, int cell) {
    const uint32_t* pixels = pool.CellPixels(cell);
    return pixels ? std::vector<uint32_t>(pixels, pixels + 32 * 32) : std::vector<uint32_t>();
}

int32_t AddMade(WinBitmapPool& pool, int cell, HICON icon) {
    const int32_t added = pool.ReadIcon(cell, icon);
    DestroyIcon(icon);
    return added;
}

}  // namespace

TEST(BitmapPool, AnIconOfTheCellSizeIsCopiedExactly) {
    std::mt19937 random(17);
    std::vector<uint32_t> source(32 * 32);
    for (uint32_t& pixel : source) pixel = random() | 0x01000000u;
    WinBitmapPool pool;
    Prepare(pool, 1);
    EXPECT_EQ(AddMade(pool, 0, MakeIcon(32, 32, [&](int x, int y) { return source[y * 32 + x]; }, nullptr)), 0);
    EXPECT_EQ(Cell(pool, 0), source);
}

TEST(BitmapPool, ScalingFollowsTheBilinearAndAreaFormulas) {
    WinBitmapPool pool;
    Prepare(pool, 3);
    // 16 -> 32, bilinear with scale 0.5: the top row and the left column
    // take one tap of weight h(0.25) = 27/32, the corner 27/32 squared; the
    // rest, the right and bottom edges too, the colour itself.
    const uint32_t colour = 0xFF8040C8;
    ASSERT_EQ(AddMade(pool, 0, MakeIcon(16, 16, [&](int, int) { return colour; }, nullptr)), 0);
    const std::vector<uint32_t> up = Cell(pool, 0);
    for (int shift : {0, 8, 16, 24}) {
        const uint32_t c = Channel(colour, shift);
        EXPECT_EQ(Channel(up[0], shift), c * 729 / 1024) << shift;
        EXPECT_EQ(Channel(up[5], shift), c * 27 / 32) << shift;
        EXPECT_EQ(Channel(up[5 * 32], shift), c * 27 / 32) << shift;
    }
    for (int y = 1; y < 32; ++y)
        for (int x = 1; x < 32; ++x) ASSERT_EQ(up[y * 32 + x], colour) << x << "," << y;

    // 48 -> 32 and 16 x 48 -> 32 shrink: each target pixel averages the
    // area it covers. With a ramp of 5 per source column (or row) the first
    // three targets are 2.5 / 1.5, 12.5 / 1.5 and 25 / 1.5, truncated.
    auto ramp = [](int step) { return 0xFF000000u | static_cast<uint32_t>(step * 5) << 16 | 0x3070u; };
    ASSERT_EQ(AddMade(pool, 1, MakeIcon(48, 48, [&](int x, int) { return ramp(x); }, nullptr)), 1);
    ASSERT_EQ(AddMade(pool, 2, MakeIcon(16, 48, [&](int, int y) { return ramp(y); }, nullptr)), 2);
    const std::vector<uint32_t> wide = Cell(pool, 1), tall = Cell(pool, 2);
    const uint32_t expected[3] = {1, 8, 16};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Channel(wide[7 * 32 + i], 16), expected[i]) << i;
        EXPECT_EQ(Channel(tall[i * 32 + 7], 16), expected[i]) << i;
    }
    for (uint32_t pixel : wide) ASSERT_EQ(pixel & 0xFF00FFFF, 0xFF003070u);
    for (uint32_t pixel : tall) ASSERT_EQ(pixel & 0xFF00FFFF, 0xFF003070u);
}

TEST(BitmapPool, MasksMonochromeIconsAndRefusedCells) {
    WinBitmapPool pool;
    Prepare(pool, 2);
    // No alpha anywhere: opaque where the mask is clear, transparent white
    // where it is set.
    const auto leftColumns = [](int x, int) { return x < 10; };
    ASSERT_EQ(AddMade(pool, 0, MakeIcon(32, 32, [](int, int) { return 0x00336699u; }, leftColumns)), 0);
    const std::vector<uint32_t> masked = Cell(pool, 0);
    EXPECT_EQ(masked[5 * 32 + 3], 0x00FFFFFFu);
    EXPECT_EQ(masked[5 * 32 + 20], 0xFF336699u);

    // A monochrome icon cannot be read: -1, and the cell keeps its pixels.
    EXPECT_EQ(AddMade(pool, 0, MakeIcon(32, 32, nullptr, [](int x, int y) { return (x + y) % 2 == 0; })), -1);
    EXPECT_EQ(Cell(pool, 0), masked);

    // Cells outside the pool are refused, and their neighbours stay intact.
    ASSERT_EQ(AddMade(pool, 1, MakeIcon(32, 32, [](int, int) { return 0xFF102030u; }, nullptr)), 1);
    const std::vector<uint32_t> last = Cell(pool, 1);
    for (int cell : {2, 3, -1, 1 << 30}) {
        EXPECT_EQ(AddMade(pool, cell, MakeIcon(32, 32, [](int, int) { return 0xFFFFFFFFu; }, nullptr)), -1) << cell;
    }
    EXPECT_EQ(Cell(pool, 0), masked);
    EXPECT_EQ(Cell(pool, 1), last);
    EXPECT_EQ(pool.CellPixels(2), nullptr);

    // Absurd sizes are refused before anything is allocated.
    EXPECT_FALSE(pool.Reserve(1 << 20));
    EXPECT_FALSE(pool.ReserveWork(0x10000, 0x10000));
    ICONINFO info{};
    EXPECT_EQ(pool.AddIcon(0, info, 0x10000, 0x10000), -1);
    EXPECT_EQ(Cell(pool, 0), masked);
    WinBitmapPool other;
    EXPECT_FALSE(other.SetCellSize(0, 16));
    EXPECT_FALSE(other.SetCellSize(16, WinBitmapPool::kMaxSide + 1));
}

TEST(BitmapPool, DrawingBlendsOverTheTargetAndStretches) {
    const int32_t live = GdiLiveObjects();
    {
        WinBitmapPool pool;
        Prepare(pool, 1);
        ASSERT_EQ(AddMade(pool, 0, MakeIcon(32, 32, [](int x, int) { return x < 16 ? 0x80C86432u : 0x00C86432u; },
                                            nullptr)),
                  0);
        DibCanvas canvas(100, 100, RGB(20, 40, 60));
        pool.DrawCell(0, canvas.Dc(), RECT{0, 0, 32, 32});
        // Alpha 128 over (20, 40, 60): (d * 127 + s * 128) / 255.
        EXPECT_EQ(canvas.Pixel(5, 5), RGB((20 * 127 + 200 * 128) / 255, (40 * 127 + 100 * 128) / 255,
                                          (60 * 127 + 50 * 128) / 255));
        EXPECT_EQ(canvas.Pixel(25, 5), RGB(20, 40, 60)) << "alpha 0 leaves the target";
        // Into 64 x 64: the blended picture covers the larger rectangle.
        const COLORREF blended = canvas.Pixel(5, 5);
        pool.DrawCell(0, canvas.Dc(), RECT{36, 36, 100, 100});
        EXPECT_EQ(canvas.CountColor(RECT{36, 36, 100, 100}, blended),
                  canvas.CountColor(RECT{36, 36, 68, 100}, blended));
        EXPECT_GT(canvas.CountColor(RECT{36, 36, 66, 100}, blended), 25 * 60);
        EXPECT_EQ(canvas.Pixel(90, 50), RGB(20, 40, 60));
        // A cell past the pool draws nothing.
        DibCanvas untouched(32, 32, RGB(1, 2, 3));
        pool.DrawCell(1, untouched.Dc(), RECT{0, 0, 32, 32});
        pool.DrawCell(-1, untouched.Dc(), RECT{0, 0, 32, 32});
        EXPECT_EQ(untouched.CountColor(RGB(1, 2, 3)), 32 * 32);
        EXPECT_GT(GdiLiveObjects(), live);
        pool.Release();
        // The DIB section was selected out first, so it could be deleted.
        EXPECT_EQ(GdiLiveObjects(), live);
    }
    EXPECT_EQ(GdiLiveObjects(), live);
}
