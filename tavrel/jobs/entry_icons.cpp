#include "tavrel/jobs/entry_icons.h"

#include <algorithm>
#include <vector>

#include "tavrel/jobs/job_kind.h"
#include "toolkit/bitmap_pool.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace JobLayer {

namespace {

constexpr int32_t kLargestIcon = 32;

// The drawn glyphs, on a 16 x 16 grid: a folder (cell 0), a page with text
// lines (cell 1), a page with a block (cell 2). Straight alpha, ARGB.
uint32_t GlyphPixel(int32_t cell, double u, double v) {
    auto inside = [&](double left, double top, double right, double bottom) {
        return u >= left && u < right && v >= top && v < bottom;
    };
    if (cell == 0) {
        const bool tab = inside(1, 2.5, 7, 4.5);
        const bool body = inside(1, 4, 15, 14);
        if (!tab && !body) return 0;
        const bool edge = !inside(2, 3.5, 6, 5) && !inside(2, 5, 14, 13);
        return edge ? 0xFFA86E10u : 0xFFF0C050u;
    }
    if (!inside(2.5, 1, 13.5, 15)) return 0;
    if (!inside(3.5, 2, 12.5, 14)) return 0xFF606870u;
    if (cell == 1) {
        for (double line : {4.5, 7.0, 9.5, 12.0})
            if (inside(5, line - 0.6, 11, line + 0.6)) return 0xFF4A6A9Au;
        return 0xFFFFFFFFu;
    }
    return inside(5, 5, 11, 11) ? 0xFF7A8CB0u : 0xFFFFFFFFu;
}

// Puts the drawn glyph of a cell into the pool.
bool AddDrawnGlyph(WinLayer::WinBitmapPool& pool, int32_t cell, int32_t side) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!colour || !bits) {
        if (colour) DeleteObject(colour);
        return false;
    }
    uint32_t* pixels = static_cast<uint32_t*>(bits);
    const double scale = 16.0 / side;
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x)
            pixels[y * side + x] = GlyphPixel(cell, (x + 0.5) * scale, (y + 0.5) * scale);
    GdiFlush();
    std::vector<uint8_t> zeros(static_cast<size_t>((side + 15) / 16 * 2 * side), 0);
    HBITMAP mask = CreateBitmap(side, side, 1, 1, zeros.data());
    ICONINFO icon = {TRUE, 0, 0, mask, colour};
    const bool added = mask && pool.AddIcon(cell, icon, side, side) == cell;
    if (mask) DeleteObject(mask);
    DeleteObject(colour);
    return added;
}

// The module's icon resource in the cell; false when the module has none.
bool AddResourceIcon(WinLayer::WinBitmapPool& pool, int32_t cell, int32_t resource, int32_t side) {
    HINSTANCE module = WinLayer::WinEnvironment::Instance().Module();
    HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(resource), IMAGE_ICON, side, side, LR_DEFAULTCOLOR);
    if (!icon) return false;
    const bool added = pool.ReadIcon(cell, static_cast<HICON>(icon)) == cell;
    DestroyIcon(static_cast<HICON>(icon));
    return added;
}

struct EntryIcons {
    WinLayer::WinBitmapPool pool;
    int32_t side = 0;
    bool ready = false;
};

EntryIcons& TheEntryIcons() {
    static EntryIcons icons;
    return icons;
}

}  // namespace

int32_t EntryIconCell(uint32_t entryKind) {
    if (entryKind == KindPath) return 0;
    if (entryKind == KindText) return 1;
    return 2;
}

int32_t EntryIconSide(int32_t rowHeight) { return std::max(0, std::min(rowHeight - 2, kLargestIcon)); }

WinLayer::WinBitmapPool* EntryIconPool(int32_t side) {
    EntryIcons& icons = TheEntryIcons();
    if (side < 1 || side > kLargestIcon) return nullptr;
    if (icons.ready && icons.side == side) return &icons.pool;
    icons.ready = false;
    icons.side = side;
    if (!icons.pool.SetCellSize(side, side) || !icons.pool.Reserve(3)) return nullptr;
    const int32_t resources[3] = {FolderIconResource, TextFileIconResource, OtherFileIconResource};
    for (int32_t cell = 0; cell < 3; ++cell) {
        if (!AddResourceIcon(icons.pool, cell, resources[cell], side)) AddDrawnGlyph(icons.pool, cell, side);
    }
    icons.pool.used = 3;
    icons.pool.filled = true;
    icons.ready = true;
    return &icons.pool;
}

}  // namespace JobLayer
