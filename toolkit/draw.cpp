// Text drawing by encoding, glyphs, rounded boxes and the memory DC.
#include "toolkit/draw.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "base/api_text.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/view.h"

namespace WinLayer {

using RawLayer::RawRange;
using RawLayer::RawString;

namespace {

// The pen and brush a helper selects for its drawing; the replaced ones go
// back before the helper's own objects are deleted (declare this after
// them). The DC record keeps the objects of the first replacement.
class ReplacedTools {
public:
    ReplacedTools(WinDrawContext& dc, HGDIOBJ pen, HGDIOBJ brush)
        : dc_(dc), pen_(dc.Select(pen)), brush_(dc.Select(brush)) {}
    ~ReplacedTools() {
        if (pen_) SelectObject(dc_.dc, pen_);
        if (brush_) SelectObject(dc_.dc, brush_);
    }
    ReplacedTools(const ReplacedTools&) = delete;
    ReplacedTools& operator=(const ReplacedTools&) = delete;

private:
    WinDrawContext& dc_;
    HGDIOBJ pen_;
    HGDIOBJ brush_;
};

bool IsSevenBit(const RawString& text, RawRange range) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.Bytes());
    for (int32_t i = range.start; i < range.end; ++i) {
        if (bytes[i] > 0x7F) return false;
    }
    return true;
}

int DrawRange(HDC dc, RECT& rect, UINT format, const RawString& text, RawRange range, int tabLength) {
    DRAWTEXTPARAMS params{};
    params.cbSize = sizeof(params);
    params.iTabLength = tabLength;
    // The text is shared: DrawTextEx must never write into it.
    format &= ~static_cast<UINT>(DT_MODIFYSTRING);
    const int count = range.end - range.start;
    const int kind = RawLayer::ApiKindOfRange(text, range);
    if (kind == RawLayer::ApiKindWide) {
        return DrawTextExW(dc, const_cast<wchar_t*>(text.Wide() + range.start), count, &rect, format, &params);
    }
    // GDI reads 8-bit text in the code page of the selected font's
    // character set, not in the system's: Shift_JIS drawn with a Western
    // font through the ANSI entry point comes out garbled even where the
    // ANSI code page is 932. Only 7-bit text takes the ANSI entry point.
    if ((kind == RawLayer::ApiKindAnsi || kind == RawLayer::ApiKindEmpty) && IsSevenBit(text, range)) {
        return DrawTextExA(dc, const_cast<char*>(text.Bytes() + range.start), count, &rect, format, &params);
    }
    RawString wide = RawString::InitBodyFromRange(RawLayer::KindUtf16, text, range);
    return DrawTextExW(dc, const_cast<wchar_t*>(wide.Wide()), wide.Length(), &rect, format, &params);
}

// A corner radius that fits the box: never below 0, never above half its
// smaller side, where the arcs of two corners would cross.
int Radius(int r, const RECT& rect) {
    const int64_t side = std::min<int64_t>(static_cast<int64_t>(rect.right) - rect.left,
                                           static_cast<int64_t>(rect.bottom) - rect.top);
    const int64_t fits = std::max<int64_t>(side / 2, 0);
    return r > 0 ? static_cast<int>(std::min<int64_t>(r, fits)) : 0;
}

}  // namespace

// ---- DC record -----------------------------------------------------------------

HGDIOBJ WinDrawContext::Select(HGDIOBJ object) {
    if (!dc || !object) return nullptr;
    const HGDIOBJ replaced = SelectObject(dc, object);
    if (!replaced || replaced == HGDI_ERROR) return nullptr;
    HGDIOBJ* field;
    switch (GetObjectType(object)) {
    case OBJ_PEN:
    case OBJ_EXTPEN:
        field = &previousPen;
        break;
    case OBJ_BRUSH:
        field = &previousBrush;
        break;
    case OBJ_FONT:
        field = &previousFont;
        break;
    default:
        field = &previousBitmap;
        break;
    }
    if (!*field) *field = replaced;
    return replaced;
}

void WinDrawContext::Restore() {
    for (HGDIOBJ* field : {&previousPen, &previousBrush, &previousFont, &previousBitmap}) {
        if (*field && dc) SelectObject(dc, *field);
        *field = nullptr;
    }
}

// ---- text ------------------------------------------------------------------------

int WinView::DrawTextRange(WinDrawContext& dc, RECT& rect, UINT format, const RawString& text, RawRange range,
                           int tabLength) {
    return DrawRange(dc.dc, rect, format, text, text.ClampEnd(range), tabLength);
}

int WinView::MeasureTextRange(WinDrawContext& dc, RECT& rect, UINT format, const RawString& text,
                              RawRange range, int tabLength) {
    range = text.ClampEnd(range);
    format |= DT_CALCRECT;
    if (range.end <= range.start) {
        // One line's height, no width.
        DRAWTEXTPARAMS params{};
        params.cbSize = sizeof(params);
        params.iTabLength = tabLength;
        wchar_t letter[] = L"A";
        const int height = DrawTextExW(dc.dc, letter, 1, &rect, format & ~static_cast<UINT>(DT_MODIFYSTRING),
                                       &params);
        rect.right = rect.left;
        return height;
    }
    return DrawRange(dc.dc, rect, format, text, range, tabLength);
}

void WinDraw::TextAtPlaces(HDC dc, int32_t x, int32_t y, const wchar_t* units, int32_t count, const int32_t* places,
                           const WinShapedPlace* shaped, int32_t clipLeft, int32_t clipRight) {
    if (!dc || !units || !places || count <= 0) return;
    std::vector<int> advances;
    for (int32_t start = 0; start < count;) {
        const uint8_t group = shaped ? shaped[start].group : 0;
        if (units[start] == L'\t' || group == 3) {
            ++start;
            continue;
        }
        int32_t end = start + 1;
        if (group) {
            // A piece the platform shapes: drawn whole, as it sets it, at
            // the left edge of its glyphs, when they reach into the clip.
            while (end < count && shaped[end].group == 1 && units[end] != L'\t') ++end;
            int32_t left = INT32_MAX, right = INT32_MIN;
            for (int32_t i = start; i < end; ++i) {
                const int32_t width = places[i + 1] - places[i];
                if (width <= 0) continue;
                left = std::min(left, places[i] + shaped[i].shift);
                right = std::max(right, places[i] + shaped[i].shift + width);
            }
            if (left == INT32_MAX) left = right = places[start];
            if (right >= clipLeft && left <= clipRight)
                ExtTextOutW(dc, x + left, y, 0, nullptr, units + start, static_cast<UINT>(end - start), nullptr);
            start = end;
            continue;
        }
        while (end < count && units[end] != L'\t' && !(shaped && shaped[end].group)) ++end;
        // Only the characters that reach into the clip; a surrogate pair
        // stays whole.
        const int32_t runEnd = end;
        int32_t from = start;
        while (from < end && places[from + 1] <= clipLeft) ++from;
        while (end > from && places[end - 1] >= clipRight) --end;
        if (from > start && RawLayer::IsLowSurrogate(units[from]) && RawLayer::IsHighSurrogate(units[from - 1])) --from;
        if (end < runEnd && end > from && RawLayer::IsHighSurrogate(units[end - 1])) ++end;
        if (end > from) {
            advances.resize(static_cast<size_t>(end - from));
            for (int32_t i = from; i < end; ++i)
                advances[static_cast<size_t>(i - from)] = std::max(places[i + 1] - places[i], 0);
            ExtTextOutW(dc, x + places[from], y, 0, nullptr, units + from, static_cast<UINT>(end - from),
                        advances.data());
        }
        start = runEnd;
    }
}

// ---- glyphs and boxes ----------------------------------------------------------------

void WinDraw::WhiteEllipse(WinDrawContext& dc, const RECT& rect) {
    GdiPen pen(PS_SOLID, 1, RGB(255, 255, 255));
    GdiBrush brush(RGB(255, 255, 255));
    ReplacedTools tools(dc, pen.Get(), brush.Get());
    Ellipse(dc.dc, rect.left, rect.top, rect.right, rect.bottom);
}

void WinDraw::Triangle(WinDrawContext& dc, const RECT& rect, COLORREF colour) {
    GdiPen pen(PS_SOLID, 1, colour);
    GdiBrush brush(colour);
    ReplacedTools tools(dc, pen.Get(), brush.Get());
    const int oldMode = SetPolyFillMode(dc.dc, WINDING);
    const POINT points[3] = {{static_cast<LONG>((static_cast<int64_t>(rect.left) + rect.right) / 2), rect.bottom},
                             {rect.right, rect.top},
                             {rect.left, rect.top}};
    Polygon(dc.dc, points, 3);
    if (oldMode) SetPolyFillMode(dc.dc, oldMode);
}

void WinDraw::FillRoundBox(WinDrawContext& dc, const RECT& rect, int topLeft, int bottomLeft, int topRight,
                           int bottomRight, COLORREF upper, COLORREF lower) {
    const LONG left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    const LONG half = (bottom - top) / 2;
    const int tl = Radius(topLeft, rect), bl = Radius(bottomLeft, rect), tr = Radius(topRight, rect),
              br = Radius(bottomRight, rect);
    {
        GdiPen pen(PS_SOLID, 1, upper);
        GdiBrush brush(upper);
        ReplacedTools tools(dc, pen.Get(), brush.Get());
        if (tl > 0) {
            Pie(dc.dc, left, top, left + 2 * tl, top + 2 * tl, left + tl, top, left, top + tl);
            Rectangle(dc.dc, left, top + tl, left + tl, top + half);
        }
        if (tr > 0) {
            Pie(dc.dc, right - 2 * tr, top, right, top + 2 * tr, right, top + tr, right - tr, top);
            Rectangle(dc.dc, right - tr, top + tr, right, top + half);
        }
        Rectangle(dc.dc, left + tl, top, right - tr, top + half);
    }
    {
        GdiPen pen(PS_SOLID, 1, lower);
        GdiBrush brush(lower);
        ReplacedTools tools(dc, pen.Get(), brush.Get());
        if (bl > 0) {
            Pie(dc.dc, left, bottom - 2 * bl, left + 2 * bl, bottom, left, bottom - bl, left + bl, bottom);
            Rectangle(dc.dc, left, top + half, left + bl, bottom - bl);
        }
        if (br > 0) {
            Pie(dc.dc, right - 2 * br, bottom - 2 * br, right, bottom, right - br, bottom, right, bottom - br);
            Rectangle(dc.dc, right - br, top + half, right, bottom - br);
        }
        Rectangle(dc.dc, left + bl, top + half, right - br, bottom);
    }
}

void WinDraw::FrameRoundBox(WinDrawContext& dc, const RECT& rect, int topLeft, int bottomLeft, int topRight,
                            int bottomRight, COLORREF light, COLORREF dark) {
    const LONG left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    const int tl = Radius(topLeft, rect), bl = Radius(bottomLeft, rect), tr = Radius(topRight, rect),
              br = Radius(bottomRight, rect);
    GdiPen lightPen(PS_SOLID, 1, light);
    GdiPen darkPen(PS_SOLID, 1, dark);
    ReplacedTools tools(dc, lightPen.Get(), nullptr);
    // ArcTo leaves the current position on the arc's end as GDI computes
    // it, which may lie a pixel outside the box (Wine puts it on the
    // exclusive edge): each straight edge starts again from its corner on
    // the pixel grid, or it would run slanted across two rows.
    MoveToEx(dc.dc, right - tr, top, nullptr);
    LineTo(dc.dc, left + tl, top);
    if (tl > 0) {
        ArcTo(dc.dc, left, top, left + 2 * tl, top + 2 * tl, left + tl, top, left, top + tl);
        MoveToEx(dc.dc, left, top + tl, nullptr);
    }
    LineTo(dc.dc, left, bottom - bl - 1);
    if (bl > 0) {
        ArcTo(dc.dc, left, bottom - 2 * bl, left + 2 * bl, bottom, left, bottom - bl, left + bl, bottom);
        MoveToEx(dc.dc, left + bl, bottom - 1, nullptr);
    }
    dc.Select(darkPen.Get());
    LineTo(dc.dc, right - br - 1, bottom - 1);
    if (br > 0) {
        ArcTo(dc.dc, right - 2 * br, bottom - 2 * br, right, bottom, right - br, bottom, right, bottom - br);
        MoveToEx(dc.dc, right - 1, bottom - br, nullptr);
    }
    LineTo(dc.dc, right - 1, top + tr);
    dc.Select(lightPen.Get());
    if (tr > 0) ArcTo(dc.dc, right - 2 * tr, top, right, top + 2 * tr, right, top + tr, right - tr, top);
}

void WinDraw::HotFrame(WinDrawContext& dc, const RECT& rect) {
    FrameRoundBox(dc, rect, 0, 0, 0, 0, 0xC000C0, 0xFF80FF);
}

void WinDraw::FillMarginStrips(WinDrawContext& dc, const RECT& outer, const RECT& inner, HBRUSH brush) {
    const RECT strips[] = {
        RECT{outer.left, outer.top, outer.right, inner.top},
        RECT{outer.left, inner.bottom, outer.right, outer.bottom},
        RECT{outer.left, inner.top, inner.left, inner.bottom},
        RECT{inner.right, inner.top, outer.right, inner.bottom},
    };
    for (const RECT& strip : strips) {
        if (strip.right > strip.left && strip.bottom > strip.top) FillRect(dc.dc, &strip, brush);
    }
}

COLORREF WinDraw::Darker(COLORREF colour, int amount) {
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    return RGB(r - ((amount * r) >> 8), g - ((amount * g) >> 8), b - ((amount * b) >> 8));
}

// ---- memory DC ------------------------------------------------------------------------

WinMemoryDC::~WinMemoryDC() { End(); }

bool WinMemoryDC::Begin(const WinDrawContext& targetRecord, const RECT& rect) {
    return Begin(targetRecord.dc, rect);
}

bool WinMemoryDC::Begin(HDC targetDc, const RECT& rect) {
    return Begin(targetDc, rect, SIZE{rect.right - rect.left, rect.bottom - rect.top});
}

bool WinMemoryDC::Begin(HDC targetDc, const RECT& rect, SIZE size) {
    End();
    HDC memory = CreateCompatibleDC(targetDc);
    if (!memory) return false;
    // GDI makes no bitmap of zero or negative size.
    HBITMAP made = CreateCompatibleBitmap(targetDc ? targetDc : memory, std::max<LONG>(size.cx, 1),
                                          std::max<LONG>(size.cy, 1));
    if (!made) {
        DeleteDC(memory);
        return false;
    }
    GdiCountObject(2);
    dc = memory;
    previousPen = previousBrush = previousFont = previousBitmap = nullptr;
    target = targetDc;
    targetRect = rect;
    sourceRect = RECT{0, 0, size.cx, size.cy};
    bitmap = made;
    memoryPrevious = SelectObject(memory, made);
    ownsBitmap = 1;
    return true;
}

void WinMemoryDC::End() {
    if (!dc) return;
    Restore();
    if (ownsBitmap) {
        SelectObject(dc, memoryPrevious);
        if (DeleteObject(bitmap)) GdiCountObject(-1);
        ownsBitmap = 0;
    }
    bitmap = nullptr;
    memoryPrevious = nullptr;
    if (DeleteDC(dc)) GdiCountObject(-1);
    dc = nullptr;
}

namespace {

// A same-size BitBlt, or a HALFTONE StretchBlt, from one DC's rectangle to
// another's.
bool CopyPicture(HDC to, const RECT& toRect, HDC from, const RECT& fromRect) {
    if (!to || !from) return false;
    const int tw = toRect.right - toRect.left, th = toRect.bottom - toRect.top;
    const int fw = fromRect.right - fromRect.left, fh = fromRect.bottom - fromRect.top;
    if (tw == fw && th == fh) {
        return BitBlt(to, toRect.left, toRect.top, tw, th, from, fromRect.left, fromRect.top, SRCCOPY) != FALSE;
    }
    const int oldMode = SetStretchBltMode(to, HALFTONE);
    SetBrushOrgEx(to, 0, 0, nullptr);
    const bool done = StretchBlt(to, toRect.left, toRect.top, tw, th, from, fromRect.left, fromRect.top, fw, fh,
                                 SRCCOPY) != FALSE;
    if (oldMode) SetStretchBltMode(to, oldMode);
    return done;
}

}  // namespace

bool WinMemoryDC::CopyBack() { return CopyPicture(target, targetRect, dc, sourceRect); }

bool WinMemoryDC::CopyRect() { return CopyPicture(dc, sourceRect, target, targetRect); }

}  // namespace WinLayer
