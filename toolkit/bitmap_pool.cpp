// The icon pool.
#include "toolkit/bitmap_pool.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "toolkit/bitmap_alpha.h"
#include "toolkit/gdi_scope.h"

namespace WinLayer {

namespace {

using Image = WinBitmapAlpha::Image;

bool SideInRange(int32_t side) { return side >= 1 && side <= WinBitmapPool::kMaxSide; }

uint32_t* NewPixels(int64_t count) {
    if (count <= 0 || count > WinBitmapPool::kMaxPixels) return nullptr;
    return new (std::nothrow) uint32_t[static_cast<size_t>(count)];
}

// Reads a bitmap as top-down 32-bit pixels.
bool ReadBitmap(HBITMAP bitmap, uint32_t* into, int32_t width, int32_t height) {
    if (!bitmap) return false;
    GdiWindowDC screen(nullptr);
    if (!screen.Get()) return false;
    BITMAPINFO info = WinBitmapAlpha::TopDownHeader(width, height);
    return GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(height), into, &info, DIB_RGB_COLORS) == height;
}

}  // namespace

WinBitmapPool::~WinBitmapPool() { Release(); }

void WinBitmapPool::ReleaseDib() {
    if (!dibSection) return;
    // A bitmap still selected into a DC cannot be deleted.
    if (memoryDc && replacedObject) SelectObject(memoryDc, replacedObject);
    replacedObject = nullptr;
    if (DeleteObject(dibSection)) GdiCountObject(-1);
    dibSection = nullptr;
    dibBits = nullptr;
    dibWidth = dibHeight = 0;
}

void WinBitmapPool::Release() {
    ReleaseDib();
    if (memoryDc && DeleteDC(memoryDc)) GdiCountObject(-1);
    memoryDc = nullptr;
    delete[] pixels;
    delete[] colourWork;
    delete[] maskWork;
    pixels = colourWork = maskWork = nullptr;
    cellWidth = cellHeight = bufferWidth = bufferHeight = 0;
    workCapacity = 0;
    capacity = used = 0;
    filled = false;
}

void WinBitmapPool::Clear() { used = 0; }

bool WinBitmapPool::SetCellSize(int32_t width, int32_t height) {
    Release();
    if (!SideInRange(width) || !SideInRange(height)) return false;
    cellWidth = bufferWidth = width;
    cellHeight = height;
    return true;
}

bool WinBitmapPool::Reserve(int32_t cells) {
    if (cells <= capacity) return true;
    const int64_t cellPixels = static_cast<int64_t>(cellWidth) * cellHeight;
    if (cellPixels <= 0) return false;
    uint32_t* grown = NewPixels(cellPixels * cells);
    if (!grown) return false;
    std::memset(grown, 0, static_cast<size_t>(cellPixels * cells) * sizeof(uint32_t));
    if (pixels) std::memcpy(grown, pixels, static_cast<size_t>(cellPixels * capacity) * sizeof(uint32_t));
    delete[] pixels;
    pixels = grown;
    capacity = cells;
    bufferWidth = cellWidth;
    bufferHeight = cellHeight * cells;
    return true;
}

bool WinBitmapPool::ReserveWork(int32_t width, int32_t height) {
    if (!SideInRange(width) || !SideInRange(height)) return false;
    const int64_t needed = static_cast<int64_t>(width) * height;
    if (needed <= workCapacity) return true;
    delete[] colourWork;
    delete[] maskWork;
    colourWork = NewPixels(needed);
    maskWork = NewPixels(needed);
    if (!colourWork || !maskWork) {
        delete[] colourWork;
        delete[] maskWork;
        colourWork = maskWork = nullptr;
        workCapacity = 0;
        return false;
    }
    workCapacity = needed;
    return true;
}

int32_t WinBitmapPool::AddIcon(int32_t cell, const ICONINFO& info, int32_t width, int32_t height) {
    if (cell < 0 || cell >= capacity || !pixels) return -1;
    if (!ReserveWork(width, height)) return -1;
    if (!ReadBitmap(info.hbmColor, colourWork, width, height)) return -1;
    if (!ReadBitmap(info.hbmMask, maskWork, width, height)) return -1;
    WinBitmapAlpha::IconToAlpha(colourWork, maskWork, width * height);

    const Image source{colourWork, 0, 0, width, height, width};
    const Image target{pixels, 0, cell * cellHeight, cellWidth, (cell + 1) * cellHeight, bufferWidth};
    const double scaleX = static_cast<double>(width) / cellWidth;
    const double scaleY = static_cast<double>(height) / cellHeight;
    if (width == cellWidth && height == cellHeight) {
        WinBitmapAlpha::Render(WinBitmapAlpha::FunctionSameSize(source), target);
    } else if (cellWidth >= width && cellHeight >= height) {
        WinBitmapAlpha::Render(WinBitmapAlpha::FunctionBilinear(scaleX, scaleY, source), target);
    } else {
        WinBitmapAlpha::Render(WinBitmapAlpha::FunctionAreaAverage(scaleX, scaleY, target, source), target);
    }
    return cell;
}

int32_t WinBitmapPool::ReadIcon(int32_t cell, HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return -1;
    int32_t width = 0, height = 0;
    BITMAP description{};
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(description), &description)) {
        width = description.bmWidth;
        height = description.bmHeight;
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof(description), &description)) {
        // A monochrome icon's mask holds the AND and XOR halves.
        width = description.bmWidth;
        height = description.bmHeight / 2;
    }
    const int32_t added = AddIcon(cell, info, width, height);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return added;
}

const uint32_t* WinBitmapPool::CellPixels(int32_t cell) const {
    if (cell < 0 || cell >= capacity || !pixels) return nullptr;
    return pixels + static_cast<int64_t>(cell) * cellWidth * cellHeight;
}

bool WinBitmapPool::EnsureDib() {
    if (!memoryDc) {
        memoryDc = CreateCompatibleDC(nullptr);
        if (!memoryDc) return false;
        GdiCountObject(1);
    }
    if (dibSection && dibWidth >= cellWidth && dibHeight >= cellHeight) return true;
    const int32_t height = std::max(dibHeight, cellHeight);
    ReleaseDib();
    BITMAPINFO info = WinBitmapAlpha::TopDownHeader(cellWidth, height);
    void* bits = nullptr;
    HBITMAP made = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!made || !bits) {
        if (made) DeleteObject(made);
        return false;
    }
    GdiCountObject(1);
    dibSection = made;
    dibBits = static_cast<uint32_t*>(bits);
    dibWidth = cellWidth;
    dibHeight = height;
    replacedObject = SelectObject(memoryDc, made);
    return true;
}

void WinBitmapPool::DrawCell(int32_t cell, HDC dc, const RECT& target) {
    if (!dc || cell < 0 || cell >= capacity || !pixels) return;
    if (!EnsureDib()) return;
    const int tw = target.right - target.left, th = target.bottom - target.top;
    SetStretchBltMode(memoryDc, HALFTONE);
    SetBrushOrgEx(memoryDc, 0, 0, nullptr);
    StretchBlt(memoryDc, 0, 0, cellWidth, cellHeight, dc, target.left, target.top, tw, th, SRCCOPY);
    GdiFlush();
    const Image source{pixels, 0, cell * cellHeight, cellWidth, (cell + 1) * cellHeight, bufferWidth};
    const Image picture{dibBits, 0, 0, cellWidth, cellHeight, dibWidth};
    WinBitmapAlpha::Blend(WinBitmapAlpha::FunctionSameSize(source), picture);
    GdiFlush();
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, target.left, target.top, tw, th, memoryDc, 0, 0, cellWidth, cellHeight, SRCCOPY);
    GdiFlush();
    if (oldMode) SetStretchBltMode(dc, oldMode);
}

}  // namespace WinLayer
