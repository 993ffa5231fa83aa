// The tab bar's painting: the strip, each tab with its text and close
// glyph, the extra glyph, the base line and the blended drag image.
#include <algorithm>

#include "toolkit/button.h"
#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/tab_bar.h"

namespace WinLayer {

namespace {

constexpr COLORREF kCurrentUpper = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kCurrentLower = RGB(0xF1, 0xF1, 0xF1);
constexpr COLORREF kCurrentInnerFrame = 0x80FF80;
constexpr COLORREF kDropFrame = 0x4040FF;
constexpr COLORREF kFocusFrame = 0xFF6040;
constexpr COLORREF kFrame = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kGlyphShadow = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kGlyph = RGB(0x70, 0x70, 0x70);
constexpr COLORREF kBaseLine = RGB(0xF1, 0xF1, 0xF1);
constexpr int kTabRadius = 3;
constexpr int kInnerRadius = 2;
// Constant alpha of the drag image.
constexpr BYTE kDragAlpha = 150;

// COLOR_BTNFACE moved 20/256 of the way to white, read once.
COLORREF TabTint() {
    static const COLORREF tint = [] {
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        const int r = GetRValue(face), g = GetGValue(face), b = GetBValue(face);
        return RGB(r + (255 - r) * 20 / 256, g + (255 - g) * 20 / 256, b + (255 - b) * 20 / 256);
    }();
    return tint;
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

// The close cross in a box, inset by d, in a colour, moved by dx.
void Cross(HDC dc, const RECT& box, int d, int dx, COLORREF colour) {
    GdiPen pen(PS_SOLID, 1, colour);
    GdiSelection keep(dc, pen.Get());
    Line(dc, box.left + d + dx, box.top + d, box.right - d + dx, box.bottom - d);
    Line(dc, box.right - d + dx, box.top + d, box.left + d + dx, box.bottom - d);
}

// The plus sign through the centre of a rectangle, moved by (d, d).
void Plus(HDC dc, const RECT& rect, int d, COLORREF colour) {
    GdiPen pen(PS_SOLID, 1, colour);
    GdiSelection keep(dc, pen.Get());
    const int cx = (rect.left + rect.right) / 2 + d, cy = (rect.top + rect.bottom) / 2 + d;
    Line(dc, rect.left + d, cy, rect.right + d, cy);
    Line(dc, cx, rect.top + d, cx, rect.bottom + d);
}

}  // namespace

void WinTabBar::Paint(WinDrawContext& dc, const RECT& area, bool focus) {
    SetBkMode(dc.dc, TRANSPARENT);
    SetTextColor(dc.dc, ListTextColor());
    const WinFontParameter& font = GetEffectiveFont();
    if (font.handle) dc.Select(font.handle);
    FillRect(dc.dc, &area, GetSysColorBrush(COLOR_BTNFACE));

    UpdateGeometry(area);
    HitTest(mouse);

    int32_t index = 0;
    for (WinTabBarItemUnit& item : items) {
        item.flags = static_cast<uint16_t>(item.flags & ~WinTabBarItemUnit::ItemPaintFlags);
        if (index == hoverIndex) item.flags |= WinTabBarItemUnit::ItemDropPlace;
        if (&item == current) item.flags |= WinTabBarItemUnit::ItemCurrent;
        PaintItem(dc, area, item);
        ++index;
    }

    if (extraShown && extraRect.left - offset < area.right) {
        RECT shown = extraRect;
        OffsetRect(&shown, -offset, 0);
        if (hitPart == HitExtra) WinDraw::HotFrame(dc, shown);
        Plus(dc.dc, shown, 1, kGlyphShadow);
        Plus(dc.dc, shown, 0, kGlyph);
    }

    {
        const RECT base{area.left, area.bottom - 2, area.right, area.bottom + 1};
        GdiBrush fill(kBaseLine);
        GdiBrush frame(focus ? kFocusFrame : kFrame);
        FillRect(dc.dc, &base, fill.Handle());
        FrameRect(dc.dc, &base, frame.Handle());
    }

    if (current) {
        if (focus) current->flags |= WinTabBarItemUnit::ItemFocus;
        PaintItem(dc, area, *current);
    }
    if (dragging) PaintDragImage(dc, area);
    dc.Restore();
}

void WinTabBar::PaintItem(WinDrawContext& dc, const RECT& area, WinTabBarItemUnit& item) {
    const RECT box{item.left - offset, area.top, item.right - offset + 1, area.bottom};
    if (box.right <= area.left || box.left >= area.right) return;
    const bool isCurrent = (item.flags & WinTabBarItemUnit::ItemCurrent) != 0;
    const COLORREF upper = isCurrent ? kCurrentUpper : TabTint();
    const COLORREF lower = isCurrent ? kCurrentLower : WinDraw::Darker(TabTint(), 10);
    WinDraw::FillRoundBox(dc, box, kTabRadius, 0, kTabRadius, 0, upper, lower);
    if (isCurrent) {
        RECT lowered = box;
        OffsetRect(&lowered, 0, 1);
        WinDraw::FrameRoundBox(dc, lowered, kInnerRadius, 0, kInnerRadius, 0, kCurrentInnerFrame,
                               kCurrentInnerFrame);
    }
    COLORREF frame = kFrame;
    if (item.flags & WinTabBarItemUnit::ItemDropPlace) {
        frame = kDropFrame;
    } else if (item.flags & WinTabBarItemUnit::ItemFocus) {
        frame = kFocusFrame;
    }
    WinDraw::FrameRoundBox(dc, box, kTabRadius, 0, kTabRadius, 0, frame, frame);
    if (isCurrent) {
        WinDraw::FillRoundBox(dc, RECT{box.left, box.bottom - 1, box.right, box.bottom + 1}, 0, 0, 0, 0, upper,
                              lower);
    }

    const RECT textArea{box.left, area.top, item.right - offset - glyphWidth, area.bottom};
    const RECT textRect = WinButtonDraw::TextRect(dc, textArea, *this, item.text);
    if (item.flags & WinTabBarItemUnit::ItemShadow) {
        RECT shadow = textRect;
        OffsetRect(&shadow, 1, 0);
        WinButtonDraw::DrawViewText(dc, shadow, item.text, viewFlags, kGlyphShadow);
        OffsetRect(&shadow, 0, 1);
        WinButtonDraw::DrawViewText(dc, shadow, item.text, viewFlags, kGlyphShadow);
    }
    WinButtonDraw::DrawViewText(dc, textRect, item.text, viewFlags, item.textColour);

    if (item.flags & WinTabBarItemUnit::ItemNoClose) return;
    const RECT glyph{item.right - offset - glyphWidth, area.top + 2, item.right - offset - 1,
                     area.top + glyphHeight + 1};
    const int inset = ((glyphHeight - 2) * 3) / 11;
    if (hitPart == HitClose && hitItem == &item) WinDraw::HotFrame(dc, glyph);
    Cross(dc.dc, glyph, inset, 1, kGlyphShadow);
    if (!(item.flags & WinTabBarItemUnit::ItemCloseDisabled)) Cross(dc.dc, glyph, inset, 0, kGlyph);
}

void WinTabBar::PaintDragImage(WinDrawContext& dc, const RECT& area) {
    if (!dragging || !current) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    if (window) ScreenToClient(window, &cursor);
    WinTabBarItemUnit copy = *current;
    const int32_t width = copy.right - copy.left;
    copy.flags = WinTabBarItemUnit::ItemCurrent | WinTabBarItemUnit::ItemNoClose;
    copy.left = offset - grabOffset + cursor.x;
    copy.right = copy.left + width;

    const int32_t w = area.right - area.left, h = area.bottom - area.top;
    WinMemoryDC memory;
    if (!memory.Begin(dc.dc, area)) return;
    memory.CopyRect();
    SetViewportOrgEx(memory.dc, -area.left, -area.top, nullptr);
    SetBkMode(memory.dc, TRANSPARENT);
    const WinFontParameter& font = GetEffectiveFont();
    if (font.handle) memory.Select(font.handle);
    // The hot glyphs belong to the strip, not to the picture.
    const int32_t part = hitPart;
    hitPart = HitBody;
    PaintItem(memory, area, copy);
    hitPart = part;
    SetViewportOrgEx(memory.dc, 0, 0, nullptr);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, kDragAlpha, 0};
    AlphaBlend(dc.dc, area.left, area.top, w, h, memory.dc, 0, 0, w, h, blend);
}

}  // namespace WinLayer
