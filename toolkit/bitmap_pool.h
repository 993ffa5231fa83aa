// The icon pool: a strip of equally sized cells of 32-bit alpha pixels.
// An icon is read from its colour and mask bitmaps, turned into alpha
// pixels and scaled into a cell once, when it is added; drawing a cell
// blends it over a copy of the target area at cell size and lets GDI
// stretch the result to the target rectangle.
//
// Sizes are bounded (kMaxSide per icon or cell side, kMaxPixels for the
// whole strip) and their products computed in 64 bits, so no size can wrap
// an allocation; a cell index outside the pool is refused.
#pragma once

#include <windows.h>

#include <cstdint>

namespace WinLayer {

class WinBitmapPool {
public:
    // The largest icon or cell side, and the most pixels the cells may
    // hold together.
    static constexpr int32_t kMaxSide = 1024;
    static constexpr int64_t kMaxPixels = int64_t(1) << 24;

    WinBitmapPool() = default;
    virtual ~WinBitmapPool();
    WinBitmapPool(const WinBitmapPool&) = delete;
    WinBitmapPool& operator=(const WinBitmapPool&) = delete;

    // Releases everything: the DIB section selected out and deleted, the
    // memory DC deleted, the buffers freed, the sizes zeroed.
    virtual void Release();
    // No cell is in use any more (the pixels stay).
    virtual void Clear();

    // Releases everything and takes a new cell size; false (and nothing
    // kept) for a size outside 1..kMaxSide.
    bool SetCellSize(int32_t width, int32_t height);
    // Makes room for at least `cells` cells, keeping the pixels of the
    // present ones; false when the size is refused or memory is short.
    bool Reserve(int32_t cells);
    // Makes both icon work buffers hold at least width x height pixels.
    bool ReserveWork(int32_t width, int32_t height);
    // Scales an icon (bitmaps from GetIconInfo, the icon's size) into cell
    // k; k, or -1 when k is outside the pool or a bitmap cannot be read (a
    // monochrome icon has no colour bitmap); the cell is then unchanged.
    int32_t AddIcon(int32_t cell, const ICONINFO& info, int32_t width, int32_t height);
    // Reads an icon into cell k, releasing the bitmaps GetIconInfo made.
    int32_t ReadIcon(int32_t cell, HICON icon);
    // Blends cell k over the target rectangle of a DC; nothing for a cell
    // outside the pool.
    void DrawCell(int32_t cell, HDC dc, const RECT& target);

    // Pixels of cell k (cell width x cell height, rows in order); null
    // outside the pool.
    const uint32_t* CellPixels(int32_t cell) const;

    HDC memoryDc = nullptr;
    HBITMAP dibSection = nullptr;
    HGDIOBJ replacedObject = nullptr;
    uint32_t* dibBits = nullptr;
    int32_t dibWidth = 0;
    int32_t dibHeight = 0;
    uint32_t* pixels = nullptr;
    uint32_t* colourWork = nullptr;
    uint32_t* maskWork = nullptr;
    int32_t cellWidth = 0;
    int32_t cellHeight = 0;
    int32_t bufferWidth = 0;
    int32_t bufferHeight = 0;
    int64_t workCapacity = 0;
    int32_t capacity = 0;
    int32_t used = 0;
    // Set by the owner once the pool is filled.
    bool filled = false;

private:
    bool EnsureDib();
    void ReleaseDib();
};

}  // namespace WinLayer
