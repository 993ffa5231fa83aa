// Small window pieces only the help viewer has.
#include "quenby/app/viewer_pieces.h"

#include <algorithm>

#include "base/api_text.h"
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

// The check mark inside a rectangle: a short stroke down to the lower third
// and a long one up to the right.
void CheckPolygon(const RECT& r, POINT (&points)[6]) {
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    const LONG t = std::max<LONG>(1, w / 6);
    points[0] = POINT{r.left, r.top + h / 2};
    points[1] = POINT{r.left + w / 3, r.bottom - t};
    points[2] = POINT{r.right, r.top + t};
    points[3] = POINT{r.right, r.top + 2 * t};
    points[4] = POINT{r.left + w / 3, r.bottom};
    points[5] = POINT{r.left, r.top + h / 2 + t};
}

void DrawShape(HDC dc, const RECT& r, int32_t shape, const GdiPen& pen, const GdiBrush& brush) {
    GdiSelection keepPen(dc, pen.Get());
    GdiSelection keepBrush(dc, brush.Get());
    if (shape == WinShapePainter::ShapeCheck) {
        POINT points[6];
        CheckPolygon(r, points);
        Polygon(dc, points, 6);
    } else {
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
    }
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

void FrameEdges(HDC dc, const RECT& r, COLORREF light, COLORREF dark) {
    if (r.right - r.left < 1 || r.bottom - r.top < 1) return;
    GdiBrush lightBrush(light);
    GdiBrush darkBrush(dark);
    const RECT top{r.left, r.top, r.right, r.top + 1};
    const RECT left{r.left, r.top, r.left + 1, r.bottom};
    const RECT bottom{r.left, r.bottom - 1, r.right, r.bottom};
    const RECT right{r.right - 1, r.top, r.right, r.bottom};
    FillRect(dc, &top, lightBrush.Handle());
    FillRect(dc, &left, lightBrush.Handle());
    FillRect(dc, &bottom, darkBrush.Handle());
    FillRect(dc, &right, darkBrush.Handle());
}

}  // namespace

namespace {

// The shape drawn four times as large over a copy of the target area and
// shrunk by averaging each 4 x 4 block; false (nothing drawn, everything
// made here freed) when GDI cannot make the bitmaps or the DC.
bool DrawSmoothed(HDC dc, const RECT& rect, int32_t shape, const GdiPen& pen, const GdiBrush& brush,
                  int32_t inset) {
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
        DrawShape(memory.dc, RECT{in, in, bigW - in, bigH - in}, shape, pen, brush);
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

void WinShapePainter::Draw(HDC dc, const RECT& rect, int32_t shape, COLORREF penColour, COLORREF brushColour,
                           int32_t inset) {
    const LONG w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (!dc || w < 1 || h < 1 || w > 4096 || h > 4096) return;
    // The pen and brush come first: without them nothing can be drawn.
    GdiPen pen(PS_SOLID, 1, penColour);
    GdiBrush brush(brushColour);
    if (!pen || !brush) return;
    // Smoothing reads the target back: a printer or metafile cannot be read
    // (the copy would come back black), and at its resolution the plain
    // shape is smooth enough.
    if (GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY && DrawSmoothed(dc, rect, shape, pen, brush, inset)) return;
    // Without the bitmaps: the shape without smoothing.
    const RECT direct{rect.left + inset, rect.top + inset, rect.right - inset, rect.bottom - inset};
    DrawShape(dc, direct, shape, pen, brush);
}

RECT WinButtonFace::FaceRect(const RECT& rect, uint32_t state) {
    RECT face = rect;
    if (state & 0x10) face.left += 2;
    if (state & 0x20) face.right -= 2;
    if (state & 0x40) face.top += 2;
    if (state & 0x80) face.bottom -= 2;
    return face;
}

void WinButtonFace::Draw(HDC dc, const RECT& rect, uint32_t state, const Colours& colours) {
    if (!dc) return;
    if (state & WinButtonDraw::BorderAny) {
        FrameEdges(dc, rect, colours.light, colours.dark);
        const RECT grey{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
        FrameEdges(dc, grey, kGrey, kGrey);
    }
    const RECT face = FaceRect(rect, state);
    if (face.right <= face.left || face.bottom <= face.top) return;
    {
        GdiBrush upper(colours.upper);
        GdiBrush lower(colours.lower);
        const LONG middle = face.top + (face.bottom - face.top) / 2;
        const RECT top{face.left, face.top, face.right, middle};
        const RECT bottom{face.left, middle, face.right, face.bottom};
        FillRect(dc, &top, upper.Handle());
        FillRect(dc, &bottom, lower.Handle());
    }
    FrameEdges(dc, face, colours.light, colours.dark);
    const RECT inner{face.left + 2, face.top + 2, face.right - 2, face.bottom - 2};
    FrameEdges(dc, inner, colours.light, colours.dark);
    if (state & kChecked) {
        const LONG side = std::min(face.right - face.left, face.bottom - face.top) / 2;
        const RECT mark{face.left + 2, face.top + 2, face.left + 2 + side, face.top + 2 + side};
        WinShapePainter::Draw(dc, mark, WinShapePainter::ShapeCheck, kMark, kMark, 0);
    }
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

// ---- enclosure and font record ---------------------------------------------------------

void WinEnclosure::Construct() {
    className = RawLayer::RawString::FromText("STATIC");
    style = WS_CHILD | WS_VISIBLE;
}

WinFontRecord WinFontRecord::FromLogFont(const LOGFONTW& font) {
    WinFontRecord record;
    record.height = font.lfHeight;
    record.width = font.lfWidth;
    record.escapement = font.lfEscapement;
    record.orientation = font.lfOrientation;
    record.weight = font.lfWeight;
    record.italic = font.lfItalic;
    record.underline = font.lfUnderline;
    record.strikeOut = font.lfStrikeOut;
    record.charSet = font.lfCharSet;
    record.outPrecision = font.lfOutPrecision;
    record.clipPrecision = font.lfClipPrecision;
    record.quality = font.lfQuality;
    record.pitchAndFamily = font.lfPitchAndFamily;
    // A source that is not terminated within its field ends at the field.
    WCHAR name[LF_FACESIZE + 1] = {};
    std::copy(font.lfFaceName, font.lfFaceName + LF_FACESIZE, name);
    record.SetFaceName(RawLayer::RawString::FromWideText(name));
    return record;
}

void WinFontRecord::SetFaceName(const RawLayer::RawString& name) {
    LOGFONTW face{};
    RawLayer::CopyFaceName(face, name);
    std::copy(face.lfFaceName, face.lfFaceName + LF_FACESIZE, faceName);
}

LOGFONTW WinFontRecord::ToLogFont() const {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWidth = width;
    font.lfEscapement = escapement;
    font.lfOrientation = orientation;
    font.lfWeight = weight;
    font.lfItalic = italic;
    font.lfUnderline = underline;
    font.lfStrikeOut = strikeOut;
    font.lfCharSet = charSet;
    font.lfOutPrecision = outPrecision;
    font.lfClipPrecision = clipPrecision;
    font.lfQuality = quality;
    font.lfPitchAndFamily = pitchAndFamily;
    WCHAR name[LF_FACESIZE + 1] = {};
    std::copy(faceName, faceName + LF_FACESIZE, name);
    RawLayer::CopyFaceName(font, name);
    return font;
}

}  // namespace WinLayer
