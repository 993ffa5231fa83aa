// The list box's layout and painting: units get their rectangles once in
// Layout; the paint only reads them, into a memory bitmap copied once.
#include <algorithm>

#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/list_box.h"
#include "toolkit/list_box_picture.h"
#include "toolkit/work_counts.h"

namespace WinLayer {

namespace {

COLORREF DisabledColor() {
    static const COLORREF colour = GetSysColor(COLOR_BTNFACE);
    return colour;
}

bool MeetsVertically(const RECT& a, const RECT& b) { return a.top < b.bottom && b.top < a.bottom; }

// A unit's rectangle widened by how far its ink may reach.
RECT Widened(const RECT& rect, WinInkReach reach) {
    return RECT{rect.left, rect.top - std::max(reach.above, 0), rect.right, rect.bottom + std::max(reach.below, 0)};
}

RECT Shifted(const RECT& rect, int32_t dx, int32_t dy) {
    return RECT{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

}  // namespace

// ---- draw part defaults ------------------------------------------------------------------

WinListBoxDraw::WinListBoxDraw(WinListBoxInfo& info)
    : state(info), background(ListWindowColor()), disabled(DisabledColor()) {}

void WinListBoxDraw::FillBackground(WinDrawContext& dc, const RECT& rect, COLORREF colour) {
    GdiBrush brush(colour);
    FillRect(dc.dc, &rect, brush.Handle());
}

void WinListBoxDraw::SetPaintRect(WinDrawContext&, const RECT&, POINT) {}

void WinListBoxDraw::PaintItems(WinDrawContext& dc, const RECT& rect, POINT origin) {
    const int32_t dx = rect.left - origin.x;
    const int32_t dy = rect.top - origin.y;
    const WinInkReach reach = InkReach();
    if (state.PlacedCurrent()) {
        PaintPlacedItems(dc, rect, dx, dy, reach);
    } else {
        PaintEveryItem(dc, rect, dx, dy, reach);
    }
    const RECT end = Shifted(state.endUnit.rect, dx, dy);
    if (state.endUnit.Reachable() && MeetsVertically(end, rect)) {
        DrawSpecialItem(dc, end, WinListBoxInfo::kEnd, state.endUnit);
        DrawCursorFrame(dc, end, WinListBoxInfo::kEnd);
    }
}

void WinListBoxDraw::PaintUnit(WinDrawContext& dc, const RECT& band, const RECT& shifted, int32_t index,
                               WinListBoxItemUnit& unit, WinInkReach reach) {
    unit.flags |= WinListBoxItemUnit::ItemPainted;
    if (reach.None()) {
        DrawItem(dc, shifted, index, unit);
        DrawCursorFrame(dc, shifted, index);
        return;
    }
    // Ink past the reach would differ between a band and a whole paint.
    const RECT ink = Widened(shifted, reach);
    const int saved = SaveDC(dc.dc);
    IntersectClipRect(dc.dc, band.left, ink.top, band.right, ink.bottom);
    DrawItem(dc, shifted, index, unit);
    DrawCursorFrame(dc, shifted, index);
    RestoreDC(dc.dc, saved);
}

void WinListBoxDraw::PaintPlacedItems(WinDrawContext& dc, const RECT& rect, int32_t dx, int32_t dy,
                                      WinInkReach reach) {
    std::vector<WinListBoxItemUnit*>& placed = state.placed;
    const int32_t count = static_cast<int32_t>(placed.size());
    for (int32_t at = std::max(state.paintedFirst, 0); at <= std::min(state.paintedLast, count - 1); ++at) {
        placed[static_cast<size_t>(at)]->flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemPainted);
    }
    state.paintedFirst = 0;
    state.paintedLast = -1;
    // Units above the clip end above it, less their reach below (reachable
    // units do not overlap); the walk ends at the first unit whose ink
    // starts below it.
    for (int32_t at = state.PlacedAt(rect.top - dy - std::max(reach.below, 0)); at < count; ++at) {
        WinListBoxItemUnit& unit = *placed[static_cast<size_t>(at)];
        const RECT shifted = Shifted(unit.rect, dx, dy);
        const RECT ink = Widened(shifted, reach);
        if (ink.top >= rect.bottom) break;
        const int32_t index = state.PlacedIndex(static_cast<size_t>(at));
        if (MeetsVertically(ink, rect)) {
            if (state.paintedFirst > state.paintedLast) state.paintedFirst = at;
            state.paintedLast = at;
            PaintUnit(dc, rect, shifted, index, unit, reach);
        } else {
            ItemOutsideClip(dc, shifted, index, unit);
        }
    }
}

void WinListBoxDraw::PaintEveryItem(WinDrawContext& dc, const RECT& rect, int32_t dx, int32_t dy,
                                    WinInkReach reach) {
    int32_t index = 0;
    for (WinListBoxItemUnit& unit : state.items) {
        const RECT shifted = Shifted(unit.rect, dx, dy);
        if (!unit.Reachable()) {
            unit.flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemPainted);
            HiddenItem(dc, shifted, index, unit);
        } else if (MeetsVertically(Widened(shifted, reach), rect)) {
            PaintUnit(dc, rect, shifted, index, unit, reach);
        } else {
            unit.flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemPainted);
            ItemOutsideClip(dc, shifted, index, unit);
        }
        ++index;
    }
}

void WinListBoxDraw::HiddenItem(WinDrawContext&, const RECT&, int32_t, WinListBoxItemUnit&) {}
void WinListBoxDraw::ItemOutsideClip(WinDrawContext&, const RECT&, int32_t, WinListBoxItemUnit&) {}
void WinListBoxDraw::DrawHeader(WinDrawContext&, const RECT&, int32_t, WinListBoxItemUnit&) {}
void WinListBoxDraw::DrawSpecialItem(WinDrawContext&, const RECT&, int32_t, WinListBoxItemUnit&) {}

void WinListBoxDraw::DrawCursorFrame(WinDrawContext& dc, const RECT& rect, int32_t index) {
    if (state.mode & WinListBoxInfo::ModePlain) return;
    if (index == state.cursor) {
        GdiBrush brush(kCursorFrame);
        FrameRect(dc.dc, &rect, brush.Handle());
    } else if (index == state.marked) {
        GdiBrush brush(kMarkedFrame);
        FrameRect(dc.dc, &rect, brush.Handle());
    }
}

void WinListBoxDraw::FillMargins(WinDrawContext& dc, const RECT& outer, const RECT& inner, const RECT&,
                                 HBRUSH brush) {
    WinDraw::FillMarginStrips(dc, outer, inner, brush);
}

void WinListBoxDraw::DrawBandHead(WinDrawContext&, const RECT&, int32_t) {}
void WinListBoxDraw::DrawBandTail(WinDrawContext&, const RECT&, int32_t) {}
void WinListBoxDraw::DrawOverlay(WinDrawContext&, const RECT&, POINT) {}
void WinListBoxDraw::DrawScaledOver(HDC, const RECT&, SIZE) {}

void WinListBoxDraw::FillArea(WinDrawContext& dc, const RECT& rect) {
    GdiBrush brush(kFocusLine);
    const RECT line{rect.left, rect.top, rect.right, rect.top + 1};
    FillRect(dc.dc, &line, brush.Handle());
}

void WinListBoxDraw::BeginMeasure(WinDrawContext&, int32_t) {}
void WinListBoxDraw::EndMeasure(WinDrawContext&, SIZE&, int32_t) {}

bool WinListBoxDraw::FirstPaint(WinListBoxItemUnit& unit) {
    if (unit.flags & WinListBoxItemUnit::ItemMeasured) return false;
    unit.flags |= WinListBoxItemUnit::ItemMeasured;
    return true;
}

COLORREF WinListBoxDraw::ItemColor(const WinListBoxItemUnit& unit) const {
    if ((state.mode & WinListBoxInfo::ModePlain) || !(unit.flags & WinListBoxItemUnit::ItemSelected)) {
        return background;
    }
    return (state.mode & WinListBoxInfo::ModeFocus) ? kSelectedFocus : kSelectedNoFocus;
}

// ---- layout -------------------------------------------------------------------------------------

void WinListBox::MeasureSampleRow(WinDrawContext& dc, SIZE& size) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.dc, &metrics);
    size.cx = std::max<LONG>(metrics.tmAveCharWidth, 1);
    size.cy = std::max<LONG>(metrics.tmHeight, 1);
}

namespace {

// What a layout measures with: the screen DC in the list's font.
struct LayoutDC {
    explicit LayoutDC(HGDIOBJ font) : screen(nullptr), context(screen.Get()), keepFont(context.dc, font) {}
    GdiWindowDC screen;
    WinDrawContext context;
    GdiSelection keepFont;
};

}  // namespace

void WinListBox::PlaceUnit(WinDrawContext& dc, WinListBoxItemUnit& unit, int32_t index, int32_t y, bool all,
                           SIZE client) {
    unit.flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemPainted);
    if (!all && !FirstPaint(unit)) {
        const int32_t height = unit.rect.bottom - unit.rect.top;
        unit.rect.top = y;
        unit.rect.bottom = y + height;
    } else {
        if (all) unit.flags |= WinListBoxItemUnit::ItemMeasured;
        RECT size{0, 0, client.cx, client.cy};
        MeasureItem(dc, size, index, unit);
        unit.rect = RECT{0, y, size.right - size.left, y + (size.bottom - size.top)};
    }
}

// The client area of the items, the window size and the client rectangle
// of a layout.
void WinListBox::LayoutClient(int32_t& clientWidth, int32_t& clientHeight) {
    RECT client{};
    if (window) GetClientRect(window, &client);
    windowSize = SIZE{client.right - client.left, client.bottom - client.top};
    if (logicalWidth > 0 && windowSize.cx > 0) {
        client.bottom = client.top + ToLogical(windowSize.cy);
        client.right = client.left + logicalWidth;
    }
    client.left += marginLeft;
    client.top += marginTop;
    client.right -= marginRight;
    client.bottom -= marginBottom;
    if (FixedHeader()) client.top += HeaderHeight();
    clientRect = client;
    clientWidth = std::max<int32_t>(client.right - client.left, 0);
    clientHeight = std::max<int32_t>(client.bottom - client.top, 0);
}

void WinListBox::FinishLayout(WinDrawContext& dc, int32_t count, int32_t width, int32_t y, int32_t clientWidth) {
    ++layoutCount;
    placedCount = count;
    placedEnds[0] = items.First();
    placedEnds[1] = items.Last();
    SIZE content{width, y};
    EndMeasure(dc, content, count);
    width = content.cx < 1 ? clientWidth : content.cx;
    y = content.cy;
    if (endUnit.Reachable()) {
        const int32_t height = endUnit.Height();
        endUnit.rect = RECT{0, y, width, y + height};
        y += height;
    }
    if (header.Reachable()) {
        header.rect.left = 0;
        header.rect.right = width;
    }
    contentSize = SIZE{width, y};
}

void WinListBox::Layout(bool all) {
    int32_t clientWidth = 0, clientHeight = 0;
    LayoutClient(clientWidth, clientHeight);
    LayoutDC measure(GetEffectiveFont().handle);
    WinDrawContext& dc = measure.context;
    MeasureRow(dc, lineStep);
    const int32_t count = Count();
    BeginMeasure(dc, count);
    int32_t y = 0;
    int32_t width = 0;
    int32_t index = 0;
    placed.clear();
    // Room for some rows more: an edit that adds a row to a long list does
    // not take a new array (and fault in its pages) at every key.
    if (placed.capacity() < static_cast<size_t>(count))
        placed.reserve(static_cast<size_t>(count) + static_cast<size_t>(count) / 8);
    placedIndices.clear();
    paintedFirst = 0;
    paintedLast = -1;
    placedWidth = 0;
    placedWidthAt = -1;
    for (WinListBoxItemUnit& unit : items) {
        PlaceUnit(dc, unit, index, y, all, SIZE{clientWidth, clientHeight});
        if (unit.Reachable()) {
            if (!placedIndices.empty() || static_cast<int32_t>(placed.size()) != index) {
                // The first unit left out: from here on positions and
                // indices differ.
                if (placedIndices.empty()) {
                    placedIndices.reserve(static_cast<size_t>(count));
                    for (size_t at = 0; at < placed.size(); ++at) placedIndices.push_back(static_cast<int32_t>(at));
                }
                placedIndices.push_back(index);
            }
            placed.push_back(&unit);
            y += unit.Height();
            if (placedWidthAt < 0 || unit.rect.right - unit.rect.left > placedWidth) {
                placedWidth = unit.rect.right - unit.rect.left;
                placedWidthAt = index;
            }
        }
        ++index;
    }
    width = std::max<int32_t>(placedWidth, 0);
    FinishLayout(dc, count, width, y, clientWidth);
}

void WinListBox::RelayoutFrom(int32_t first, int32_t stable) {
    layoutPending = 0;
    const int32_t count = Count();
    const int32_t before = static_cast<int32_t>(placed.size());
    // Built on only when every unit was placed, one per index, and the
    // widest unit stands outside the units changed.
    const bool keepsStable = count == before && first <= stable && stable < count;
    const int32_t end = keepsStable ? stable : count;
    const bool widestKept = placedWidthAt >= 0 && (placedWidthAt < first || (keepsStable && placedWidthAt >= stable));
    if (first < 0 || first > std::min(count, before) || placedCount != before || !placedIndices.empty() ||
        placedEnds[0] != items.First() || (before > 0 && !widestKept)) {
        Layout(false);
        return;
    }
    // The changed units of the old length are found where the last layout
    // placed them, the added ones from the end of the list.
    std::vector<WinListBoxItemUnit*> window;
    window.reserve(static_cast<size_t>(end - first));
    for (int32_t index = first; index < std::min(end, before); ++index)
        window.push_back(placed[static_cast<size_t>(index)]);
    if (end > before) {
        RawLayer::RawListLink* link = items.LinkAt(before);
        for (int32_t index = before; index < end && !items.IsEnd(link); ++index, link = link->next)
            window.push_back(items.UnitOf(link));
    }
    if (static_cast<int32_t>(window.size()) != end - first) {
        Layout(false);
        return;
    }
    int32_t clientWidth = 0, clientHeight = 0;
    LayoutClient(clientWidth, clientHeight);
    LayoutDC measure(GetEffectiveFont().handle);
    WinDrawContext& dc = measure.context;
    MeasureRow(dc, lineStep);
    BeginMeasure(dc, count);
    // What the last paint marked is forgotten, as a whole layout does.
    for (int32_t at = std::max(paintedFirst, 0); at <= std::min(std::min(paintedLast, before - 1), count - 1); ++at)
        placed[static_cast<size_t>(at)]->flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemPainted);
    paintedFirst = 0;
    paintedLast = -1;
    int32_t y = first > 0 ? placed[static_cast<size_t>(first - 1)]->rect.bottom : 0;
    int32_t width = first > 0 || keepsStable ? placedWidth : 0;
    int32_t widthAt = first > 0 || keepsStable ? placedWidthAt : -1;
    int32_t index = first;
    for (WinListBoxItemUnit* unit : window) {
        PlaceUnit(dc, *unit, index, y, false, SIZE{clientWidth, clientHeight});
        if (!unit->Reachable()) {
            // A unit left out shifts positions from indices: laid out whole.
            Layout(false);
            return;
        }
        y += unit->Height();
        if (widthAt < 0 || unit->rect.right - unit->rect.left > width) {
            width = unit->rect.right - unit->rect.left;
            widthAt = index;
        }
        ++index;
    }
    if (keepsStable && placed[static_cast<size_t>(stable)]->rect.top != y) {
        // The units after the change moved: laid out whole.
        Layout(false);
        return;
    }
    if (keepsStable) {
        std::copy(window.begin(), window.end(), placed.begin() + first);
        y = placed.back()->rect.bottom;
    } else {
        placed.resize(static_cast<size_t>(first));
        placed.insert(placed.end(), window.begin(), window.end());
    }
    placedWidth = width;
    placedWidthAt = widthAt;
    FinishLayout(dc, count, std::max<int32_t>(width, 0), y, clientWidth);
}

void WinListBox::RefreshNoPaint() {
    layoutPending = 0;
    Layout(true);
    ClampScroll();
    UpdateScroll();
}

void WinListBox::Refresh() {
    RefreshNoPaint();
    Invalidate();
}

void WinListBox::RefreshIfDirty() {
    if (!layoutPending) return;
    layoutPending = 0;
    Layout(false);
    ClampScroll();
    UpdateScroll();
}

// ---- paint -----------------------------------------------------------------------------------------

void WinListBox::PaintHeader(WinDrawContext& dc, const RECT& inner, HBRUSH brush) {
    if (!header.Reachable()) return;
    const int32_t height = header.Height();
    if (Banded()) {
        for (int32_t band = 0; band * bandHeight - scroll.y < inner.bottom; ++band) {
            const int32_t top = inner.top + band * bandHeight - scroll.y + headerPosition.y;
            RECT row{inner.left, top, inner.right, top + height};
            if (!MeetsVertically(row, inner)) continue;
            DrawHeader(dc, row, kHeader, header);
            DrawCursorFrame(dc, row, kHeader);
        }
    } else if (Floating()) {
        const int32_t top = inner.top + headerPosition.y - scroll.y;
        RECT row{inner.left + headerPosition.x - scroll.x, top, inner.right, top + height};
        if (!MeetsVertically(row, inner)) return;
        DrawHeader(dc, row, kHeader, header);
        DrawCursorFrame(dc, row, kHeader);
    } else {
        RECT row{inner.left, inner.top, inner.right, inner.top + height};
        FillRect(dc.dc, &row, brush);
        DrawHeader(dc, row, kHeader, header);
        DrawCursorFrame(dc, row, kHeader);
    }
}

void WinListBox::PaintBands(WinDrawContext& dc, const RECT& inner) {
    if (!Banded()) return;
    for (int32_t band = 0; band * bandHeight - scroll.y < inner.bottom; ++band) {
        const int32_t start = inner.top + band * bandHeight - scroll.y;
        const RECT head{inner.left, start, inner.right, start + headerPosition.y};
        const int32_t end = inner.top + (band + 1) * bandHeight - scroll.y;
        const RECT tail{inner.left, end - bandTailHeight, inner.right, end};
        if (head.bottom > head.top && MeetsVertically(head, inner)) DrawBandHead(dc, head, band);
        if (tail.bottom > tail.top && MeetsVertically(tail, inner)) DrawBandTail(dc, tail, band);
    }
}

void WinListBox::PaintRows(WinDrawContext& memory, SIZE size, COLORREF fill, int32_t top, int32_t bottom,
                           bool first) {
    const RECT whole{0, 0, size.cx, size.cy};
    // The clip alone is cut and put back: what the steps select (the font
    // of SetPaintRect) stays for the next rows, as it does within a paint.
    const bool part = top > 0 || bottom < size.cy;
    if (part) IntersectClipRect(memory.dc, 0, top, size.cx, bottom);
    FillBackground(memory, whole, fill);
    GdiBrush brush(fill);
    const RECT inner{marginLeft, marginTop, size.cx - marginRight, size.cy - marginBottom};
    RECT itemsRect = inner;
    if (FixedHeader()) itemsRect.top += HeaderHeight();
    if (first) SetPaintRect(memory, whole, scroll);
    {
        // Items never spill into the margins or the fixed header.
        const int saved = SaveDC(memory.dc);
        IntersectClipRect(memory.dc, itemsRect.left, itemsRect.top, itemsRect.right, itemsRect.bottom);
        RECT band = itemsRect;
        band.top = std::max<LONG>(band.top, top);
        band.bottom = std::min<LONG>(band.bottom, bottom);
        if (band.top < band.bottom) PaintItems(memory, band, POINT{scroll.x, scroll.y + band.top - itemsRect.top});
        RestoreDC(memory.dc, saved);
    }
    PaintHeader(memory, inner, brush.Handle());
    const RECT margins{marginLeft, marginTop, marginRight, marginBottom};
    FillMargins(memory, whole, inner, margins, brush.Handle());
    PaintBands(memory, inner);
    DrawOverlay(memory, whole, scroll);
    if (mode & ModeFocus) FillArea(memory, whole);
    if (part) SelectClipRgn(memory.dc, nullptr);
}

std::vector<int64_t> WinListBox::PictureScene(COLORREF fill, SIZE size, WinInkReach ink) const {
    auto rect = [](const RECT& r) { return std::vector<int64_t>{r.left, r.top, r.right, r.bottom}; };
    // The special rows' cursor and marked state; the items' go with their units.
    const int32_t specialCursor = cursor < kNone ? cursor : 0;
    const int32_t specialMarked = marked < kNone ? marked : 0;
    std::vector<int64_t> scene{layoutCount,
                               static_cast<int64_t>(PictureStamp()),
                               static_cast<int64_t>(reinterpret_cast<intptr_t>(GetEffectiveFont().handle)),
                               fill,
                               background,
                               mode,
                               scroll.x,
                               size.cx,
                               size.cy,
                               windowSize.cx,
                               windowSize.cy,
                               logicalWidth,
                               marginLeft,
                               marginTop,
                               marginRight,
                               marginBottom,
                               contentSize.cx,
                               contentSize.cy,
                               header.flags,
                               endUnit.flags,
                               specialCursor,
                               specialMarked,
                               ink.above,
                               ink.below};
    for (const RECT* r : {&clientRect, &header.rect, &endUnit.rect}) {
        const std::vector<int64_t> values = rect(*r);
        scene.insert(scene.end(), values.begin(), values.end());
    }
    return scene;
}

std::vector<WinPictureUnit> WinListBox::ShownUnits(int32_t top, int32_t bottom, WinInkReach reach, int32_t& first,
                                                   int32_t& last) const {
    std::vector<WinPictureUnit> shown;
    first = 0;
    last = -1;
    // A unit outside the area whose ink reaches into it is shown there too.
    const RECT area{0, top - std::max(reach.below, 0), 0, bottom + std::max(reach.above, 0)};
    const uint16_t drawn = WinListBoxItemUnit::ItemSelected | WinListBoxItemUnit::ItemHidden;
    auto add = [&](const WinListBoxItemUnit& unit, int32_t index) {
        WinPictureUnit record;
        record.unit = &unit;
        record.rect = unit.rect;
        record.flags = static_cast<uint16_t>(unit.flags & drawn);
        record.role = static_cast<uint8_t>((index == cursor ? WinPictureUnit::RoleCursor : 0) |
                                           (index == marked ? WinPictureUnit::RoleMarked : 0));
        shown.push_back(record);
    };
    const int32_t count = static_cast<int32_t>(placed.size());
    for (int32_t at = count > 0 ? PlacedAt(area.top) : 0; at < count; ++at) {
        const WinListBoxItemUnit& unit = *placed[static_cast<size_t>(at)];
        if (unit.rect.top >= area.bottom) break;
        if (!MeetsVertically(unit.rect, area)) continue;
        if (first > last) first = at;
        last = at;
        add(unit, PlacedIndex(static_cast<size_t>(at)));
    }
    if (endUnit.Reachable() && MeetsVertically(endUnit.rect, area)) add(endUnit, kEnd);
    return shown;
}

bool WinListBox::PaintKept(HDC target, const RECT& itemRect, SIZE size, COLORREF fill) {
    if (!PlacedCurrent() || Banded() || Floating()) return false;
    if (!picture_) picture_.reset(new (std::nothrow) WinListBoxPicture());
    if (!picture_ || !picture_->Prepare(target, itemRect, size)) return false;
    WinListBoxPicture& picture = *picture_;
    picture.ResetState();
    WinMemoryDC& memory = picture.memory;
    int32_t itemsTop = marginTop + (FixedHeader() ? HeaderHeight() : 0);
    const int32_t itemsBottom = size.cy - marginBottom;
    itemsTop = std::min(itemsTop, itemsBottom);
    const WinInkReach reach = InkReach();
    std::vector<int64_t> scene = PictureScene(fill, size, reach);
    int32_t first = 0, last = -1;
    std::vector<WinPictureUnit> units = ShownUnits(scroll.y, scroll.y + itemsBottom - itemsTop, reach, first, last);
    const int64_t move = static_cast<int64_t>(scroll.y) - picture.scroll;
    const bool keep = picture.painted && scene == picture.scene && move < itemsBottom - itemsTop &&
                      -move < itemsBottom - itemsTop;
    std::vector<WinPictureRows> rows{WinPictureRows{0, size.cy}};
    if (keep) {
        picture.Shift(static_cast<int32_t>(move));
        rows = RowsToPaint(picture.units, picture.scroll, units, scroll.y, itemsTop, itemsBottom, size.cy,
                           std::max(reach.above, 0), std::max(reach.below, 0));
        ++WinWorkCounts::Instance().listPicturesKept;
    }
    // The picture shows nothing known until it is painted.
    picture.painted = false;
    {
        GdiSelection keepFont(memory.dc, GetEffectiveFont().handle);
        SetTextAlign(memory.dc, 0);
        bool firstRows = true;
        for (const WinPictureRows& r : rows) {
            PaintRows(memory, size, fill, r.top, r.bottom, firstRows);
            firstRows = false;
        }
    }
    if (keep) {
        // The units drawn are the units shown, whichever rows were painted.
        const int32_t count = static_cast<int32_t>(placed.size());
        for (int32_t at = std::max(paintedFirst, 0); at <= std::min(paintedLast, count - 1); ++at)
            placed[static_cast<size_t>(at)]->flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemPainted);
        for (int32_t at = first; at <= last; ++at)
            placed[static_cast<size_t>(at)]->flags |= WinListBoxItemUnit::ItemPainted;
        paintedFirst = first;
        paintedLast = last;
    }
    memory.Restore();
    memory.CopyBack();
    picture.scene = std::move(scene);
    picture.units = std::move(units);
    picture.scroll = scroll.y;
    picture.painted = true;
    return true;
}

void WinListBox::ForgetPicture() {
    if (picture_) picture_->painted = false;
}

void WinListBox::Paint(HDC target, const RECT& itemRect, bool disabledLook) {
    const int32_t windowWidth = itemRect.right - itemRect.left;
    const int32_t windowHeight = itemRect.bottom - itemRect.top;
    windowSize = SIZE{windowWidth, windowHeight};
    SIZE size{windowWidth, windowHeight};
    if (logicalWidth > 0 && windowWidth > 0) size = SIZE{logicalWidth, ToLogical(windowHeight)};
    if (size.cx <= 0 || size.cy <= 0) return;
    const COLORREF fill = disabledLook ? disabled : background;
    // A picture at the logical width is costly to paint whole: a list that
    // keeps it paints only what changed.
    if (logicalWidth > 0 && KeepsPicture() && PaintKept(target, itemRect, size, fill)) {
        DrawScaledOver(target, itemRect, size);
        return;
    }
    picture_.reset();
    WinMemoryDC memory;
    if (!memory.Begin(target, itemRect, size)) return;
    {
        GdiSelection keepFont(memory.dc, GetEffectiveFont().handle);
        SetTextAlign(memory.dc, 0);
        PaintRows(memory, size, fill, 0, size.cy, true);
    }
    memory.CopyBack();
    memory.End();
    if (logicalWidth > 0 && windowWidth > 0) DrawScaledOver(target, itemRect, size);
}

}  // namespace WinLayer
