// Small window pieces only the help viewer has.
#include "quenby/app/viewer_pieces.h"

#include <algorithm>

#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace AppLayer {

const Insets& DefaultInsets() {
    static const Insets insets{4, 4, 4, 4};
    return insets;
}

const Insets& ListItemInsets() {
    static const Insets insets{2, 2, 2, 2};
    return insets;
}

ScaledFontSelection::ScaledFontSelection(HDC dc, const LOGFONTW& description, int32_t ratioPercent) : dc_(dc) {
    if (!dc || ratioPercent < 1) return;
    LOGFONTW scaled = description;
    scaled.lfHeight = static_cast<LONG>(static_cast<int64_t>(description.lfHeight) * ratioPercent / 100);
    font_ = CreateFontIndirectW(&scaled);
    if (!font_) return;
    WinLayer::GdiCountObject(1);
    previous_ = SelectObject(dc, font_);
}

ScaledFontSelection::~ScaledFontSelection() {
    if (!font_) return;
    if (previous_) SelectObject(dc_, previous_);
    DeleteObject(font_);
    WinLayer::GdiCountObject(-1);
}

}  // namespace AppLayer

namespace WinLayer {

namespace {

void DrawEllipse(HDC dc, const RECT& r, const GdiPen& pen, const GdiBrush& brush) {
    GdiSelection keepPen(dc, pen.Get());
    GdiSelection keepBrush(dc, brush.Get());
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

// A 32-bit top-down DIB section; its pixels through `bits`.
HBITMAP TopDownBitmap(HDC dc, LONG width, LONG height, uint32_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = static_cast<uint32_t*>(pixels);
    return bitmap;
}

// A memory DC deleted at the end of its scope.
struct MemoryDc {
    explicit MemoryDc(HDC target) : dc(CreateCompatibleDC(target)) {}
    ~MemoryDc() {
        if (dc) DeleteDC(dc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC dc;
};


// The ellipse drawn four times as large over a copy of the target area and
// shrunk by averaging each 4 x 4 block; false (nothing drawn, everything
// made here freed) when GDI cannot make the bitmaps or the DC.
bool DrawSmoothed(HDC dc, const RECT& rect, const GdiPen& pen, const GdiBrush& brush, int32_t inset) {
    constexpr LONG k = WinShapePainter::kScale;
    const LONG w = rect.right - rect.left, h = rect.bottom - rect.top;
    const LONG bigW = w * k, bigH = h * k;
    const LONG in = std::max<LONG>(0, inset) * k;
    uint32_t* bigBits = nullptr;
    uint32_t* smallBits = nullptr;
    GdiObject big(TopDownBitmap(dc, bigW, bigH, &bigBits));
    if (!big) return false;
    GdiObject small(TopDownBitmap(dc, w, h, &smallBits));
    if (!small) return false;
    MemoryDc memory(dc);
    if (!memory.dc) return false;
    {
        GdiSelection keepBig(memory.dc, big.Get());
        const int oldMode = SetStretchBltMode(memory.dc, COLORONCOLOR);
        StretchBlt(memory.dc, 0, 0, bigW, bigH, dc, rect.left, rect.top, w, h, SRCCOPY);
        SetStretchBltMode(memory.dc, oldMode);
        DrawEllipse(memory.dc, RECT{in, in, bigW - in, bigH - in}, pen, brush);
        GdiFlush();
    }
    for (LONG y = 0; y < h; ++y) {
        for (LONG x = 0; x < w; ++x) {
            uint32_t sum[3] = {0, 0, 0};
            for (LONG sy = 0; sy < k; ++sy) {
                const uint32_t* row = bigBits + static_cast<size_t>(y * k + sy) * bigW + x * k;
                for (LONG sx = 0; sx < k; ++sx) {
                    for (int c = 0; c < 3; ++c) sum[c] += (row[sx] >> (8 * c)) & 0xFF;
                }
            }
            const uint32_t n = k * k;
            smallBits[static_cast<size_t>(y) * w + x] =
                ((sum[2] + n / 2) / n) << 16 | ((sum[1] + n / 2) / n) << 8 | ((sum[0] + n / 2) / n);
        }
    }
    GdiSelection keepSmall(memory.dc, small.Get());
    BitBlt(dc, rect.left, rect.top, w, h, memory.dc, 0, 0, SRCCOPY);
    return true;
}

}  // namespace

void WinShapePainter::Draw(HDC dc, const RECT& rect, COLORREF penColour, COLORREF brushColour, int32_t inset) {
    const LONG w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (!dc || w < 1 || h < 1 || w > 4096 || h > 4096) return;
    // The pen and brush come first: without them nothing can be drawn.
    GdiPen pen(PS_SOLID, 1, penColour);
    GdiBrush brush(brushColour);
    if (!pen || !brush) return;
    // Smoothing reads the target back: a printer or metafile cannot be read
    // (the copy would come back black), and at its resolution the plain
    // ellipse is smooth enough.
    if (GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY && DrawSmoothed(dc, rect, pen, brush, inset)) return;
    // Without the bitmaps: the ellipse without smoothing.
    const RECT direct{rect.left + inset, rect.top + inset, rect.right - inset, rect.bottom - inset};
    DrawEllipse(dc, direct, pen, brush);
}

// ---- icon button ------------------------------------------------------------------

WinIconButton::~WinIconButton() {
    // The window goes before the icon it paints.
    DetachWindow();
    if (icon && ownsIcon) DestroyIcon(icon);
    icon = nullptr;
    ownsIcon = false;
}

void WinIconButton::SetIcon(HICON newIcon, bool owned) {
    if (icon && ownsIcon && icon != newIcon) DestroyIcon(icon);
    icon = newIcon;
    ownsIcon = newIcon && owned;
    if (window) InvalidateRect(window, nullptr, FALSE);
}

bool WinIconButton::LoadIconResource(uint16_t resourceId, int32_t size) {
    HANDLE loaded = LoadImageA(WinEnvironment::Instance().Module(), MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                               size, size, LR_DEFAULTCOLOR);
    if (!loaded) return false;
    SetIcon(static_cast<HICON>(loaded), true);
    return true;
}

void WinIconButton::FitToText(RECT& rect) {
    // Square, as high as a caption line.
    RECT line{};
    MeasureText(line, RawLayer::RawString::FromText("Ag"));
    const LONG side = line.bottom - line.top;
    rect = RECT{0, 0, side, side};
}

void WinIconButton::PaintIcon(HDC target, const RECT& rect) const {
    static const COLORREF faceColour = GetSysColor(COLOR_3DFACE);
    const LONG w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w < 1 || h < 1) return;
    WinMemoryDC memory;
    if (!memory.Begin(target, rect)) return;
    const RECT local{0, 0, w, h};
    {
        GdiBrush face(faceColour);
        FillRect(memory.dc, &local, face.Handle());
    }
    if (icon) {
        const LONG side = std::max<LONG>(1, std::min(w, h) - 4);
        DrawIconEx(memory.dc, (w - side) / 2, (h - side) / 2, icon, side, side, 0, nullptr, DI_NORMAL);
    }
    memory.CopyBack();
    memory.End();
}

LRESULT WinIconButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM && wParam != 0 && lParam) {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        PaintIcon(item.hDC, item.rcItem);
        return 1;
    }
    return WinButton::OnMessage(message, wParam, lParam);
}

// ---- enclosure ---------------------------------------------------------

void WinEnclosure::Construct() {
    className = RawLayer::RawString::FromText("STATIC");
    style = WS_CHILD | WS_VISIBLE;
}

}  // namespace WinLayer
