// The owner-drawn list: a vertical run of items of any height with a
// cursor, single or multiple selection, an optional header row and end row,
// keys, mouse, wheel scrolling and wheel zoom of its font, scroll bars, and
// painting through a memory bitmap copied once.
//
// The list holds no item data: each unit carries an opaque pointer to the
// caller's object, and WinListBoxR<T> binds measuring and drawing to an
// item type. Layout stores every unit's rectangle in content coordinates;
// painting and hit tests only read those rectangles.
//
// Indices: 0 .. count-1 are items, -1 none, -2 the header row, -3 the end
// row.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "base/raw_list.h"
#include "toolkit/draw.h"
#include "toolkit/font_parameter.h"
#include "toolkit/view.h"
#include "toolkit/work_counts.h"

namespace WinLayer {

class WinListBox;
class WinListBoxPicture;
struct WinPictureUnit;

struct WinListBoxItemUnit {
    enum : uint16_t {
        ItemMeasured = 0x1,
        ItemSelected = 0x2,
        ItemHidden = 0x4,
        // Selected at the last CountSelection.
        ItemCounted = 0x10,
        ItemHeader = 0x20,
        ItemEnd = 0x40,
        // Drawn inside the clip at the last paint.
        ItemPainted = 0x100,
    };

    virtual ~WinListBoxItemUnit() = default;
    // Clears every flag except the header and end marks, forgets the item
    // and the rectangle.
    virtual void Reset();
    // Not hidden and of positive height: keys and hit tests can reach it.
    bool Reachable() const { return !(flags & ItemHidden) && rect.bottom > rect.top; }
    int32_t Height() const { return rect.bottom - rect.top; }

    uint16_t flags = 0;
    // The caller's object; not owned.
    void* item = nullptr;
    // Content coordinates, logical pixels, before scrolling.
    RECT rect{};
};

class WinListBoxItemListAllocator : public RawLayer::RawListDeleteAllocator<WinListBoxItemUnit> {};
// The units of a list. A walk of it with its iterators counts the units it
// steps over (WinWorkCounts::listUnitsWalked).
class WinListBoxItemList : public RawLayer::RawListR<WinListBoxItemListAllocator, WinListBoxItemUnit> {
    using Base = RawLayer::RawListR<WinListBoxItemListAllocator, WinListBoxItemUnit>;

public:
    template <class It>
    class Counted : public It {
    public:
        explicit Counted(It it) : It(it) {}
        Counted& operator++() {
            ++WinWorkCounts::Instance().listUnitsWalked;
            It::operator++();
            return *this;
        }
    };
    Counted<Base::iterator> begin() { return Counted<Base::iterator>(Base::begin()); }
    Counted<Base::iterator> end() { return Counted<Base::iterator>(Base::end()); }
    Counted<Base::const_iterator> begin() const { return Counted<Base::const_iterator>(Base::begin()); }
    Counted<Base::const_iterator> end() const { return Counted<Base::const_iterator>(Base::end()); }
};

// Makes the units a list adds; a list class may make units of its own type.
class WinListBoxItemCreater {
public:
    virtual ~WinListBoxItemCreater() = default;
    virtual WinListBoxItemUnit* Make() = 0;
};

// The state shared by the list's parts.
struct WinListBoxInfo {
    enum : uint16_t {
        ModeFocus = 0x1,
        ModeMultiple = 0x2,
        // No cursor frame and no selection colour.
        ModePlain = 0x4,
        ModeBanded = 0x10,
        ModeFloatingHeader = 0x40,
    };
    static constexpr int32_t kNone = -1;
    static constexpr int32_t kHeader = -2;
    static constexpr int32_t kEnd = -3;
    static constexpr int32_t kShortRange = 4096;

    bool FixedHeader() const { return !(mode & (ModeFloatingHeader | ModeBanded)) || BandedAsFixed(); }
    // A band below one pixel cannot be divided by: banded mode then lays
    // out and hits as a fixed header.
    bool BandedAsFixed() const { return (mode & ModeBanded) && !(mode & ModeFloatingHeader) && bandHeight < 1; }
    bool Banded() const { return (mode & ModeBanded) && !(mode & ModeFloatingHeader) && bandHeight >= 1; }
    bool Floating() const { return (mode & ModeFloatingHeader) != 0; }
    // Whether `placed` still describes the list: no layout pending, and the
    // list holds as many units, with the same ends, as the last layout saw.
    bool PlacedCurrent() const;
    // Position in `placed` of the last reachable unit whose top is at or
    // above the content height y; 0 when none is (bisection).
    int32_t PlacedAt(int32_t y) const;
    // List index of the unit at a position of `placed`.
    int32_t PlacedIndex(size_t at) const { return placedIndices.empty() ? static_cast<int32_t>(at) : placedIndices[at]; }
    // Widens the range that may hold selected units; code that sets
    // ItemSelected on units itself calls it, so that ClearSelection
    // reaches them.
    void NoteSelected(int32_t first, int32_t last);
    // Calls each(unit, index) with the selected units in list order until it
    // answers false. Only the range that may hold selected units is walked,
    // so a check made at every key step costs the selection, not the list.
    template <typename Each>
    void ForEachSelected(Each each) {
        const int32_t first = selectedFirst > 0 ? selectedFirst : 0;
        const int32_t last = selectedLast < items.Count() - 1 ? selectedLast : items.Count() - 1;
        ForEachInRange(first, last, [&](WinListBoxItemUnit& unit, int32_t index) {
            return !(unit.flags & WinListBoxItemUnit::ItemSelected) || each(unit, index);
        });
    }
    // Calls each(unit, index) with the units of [first, last] in list order
    // until it answers false. A short range of a laid-out list with every
    // unit shown is taken from `placed` (finding the first link could walk
    // half a million links from the last place looked at); a long one along
    // the links, which walk a whole list faster.
    template <typename Each>
    void ForEachInRange(int32_t first, int32_t last, Each each) {
        if (first < 0) first = 0;
        if (last > items.Count() - 1) last = items.Count() - 1;
        if (first > last) return;
        if (last - first < kShortRange && PlacedCurrent() && placedIndices.empty() &&
            static_cast<size_t>(last) < placed.size()) {
            for (int32_t index = first; index <= last; ++index) {
                ++WinWorkCounts::Instance().listUnitsWalked;
                if (!each(*placed[static_cast<size_t>(index)], index)) return;
            }
            return;
        }
        RawLayer::RawListLink* link = items.LinkAt(first);
        for (int32_t index = first; index <= last && !items.IsEnd(link); ++index, link = link->next) {
            ++WinWorkCounts::Instance().listUnitsWalked;
            if (!each(*items.UnitOf(link), index)) return;
        }
    }
    // The header height when the header is shown.
    int32_t HeaderHeight() const { return header.Reachable() ? header.Height() : 0; }
    // Scales a window length to the logical width; unscaled when either
    // side is off or the window has no width.
    int32_t ToLogical(int32_t length) const;

    WinListBox* list = nullptr;
    // Made by the wheel zoom and owned by the list; no handle until then.
    WinFontParameter ownFont{};
    WinListBoxItemList items;
    WinListBoxItemUnit header;
    WinListBoxItemUnit endUnit;
    int32_t cursor = kNone;
    int32_t anchor = kNone;
    // A second marked index, framed in its own colour.
    int32_t marked = kNone;
    RECT clientRect{};
    SIZE contentSize{};
    // Above 0: laid out and painted at this width and scaled to the window.
    int32_t logicalWidth = 0;
    int32_t bandHeight = 0;
    SIZE windowSize{};
    SIZE lineStep{};
    POINT scroll{};
    // Floating header place; y is also the band head height when banded.
    POINT headerPosition{};
    int32_t bandTailHeight = 0;
    int32_t bandCount = 0;
    int32_t counters[2] = {0, 0};
    uint16_t mode = 0;
    uint16_t layoutPending = 1;
    // Layouts finished: units placed by another layout may be drawn anew.
    uint32_t layoutCount = 0;
    // The reachable units in list order, as the last layout placed them
    // (their tops grow with the position), so that a paint, a hit test or
    // a count of the rows in view finds the units at a height by bisection
    // instead of walking the list. Their list indices, when some units are
    // not reachable (else the position is the index).
    std::vector<WinListBoxItemUnit*> placed;
    std::vector<int32_t> placedIndices;
    int32_t placedCount = -1;
    const WinListBoxItemUnit* placedEnds[2] = {nullptr, nullptr};
    // The widest placed unit's width and the first index at it.
    int32_t placedWidth = 0;
    int32_t placedWidthAt = -1;
    // Positions in `placed` drawn by the last paint (first > last: none).
    int32_t paintedFirst = 0;
    int32_t paintedLast = -1;
    // Indices that may hold selected units (first > last: none), so that
    // clearing the selection costs the selection and not the list.
    int32_t selectedFirst = 0;
    int32_t selectedLast = -1;
};

// Where the unit makers live.
struct WinListBoxBasic {
    WinListBoxItemCreater* creater = nullptr;
};

// The last left press: client point and the index it hit.
struct WinListBoxAction {
    POINT pressPoint{};
    int32_t pressIndex = WinListBoxInfo::kNone;
};

// The last right press, the one a context menu is about.
struct WinListBoxTarget {
    POINT menuPoint{};
    int32_t menuIndex = WinListBoxInfo::kNone;
};

// Cursor moves and the key hooks.
class WinListBoxCursor {
public:
    explicit WinListBoxCursor(WinListBoxInfo& info) : state(info) {}
    virtual ~WinListBoxCursor() = default;
    WinListBoxCursor(const WinListBoxCursor&) = delete;
    WinListBoxCursor& operator=(const WinListBoxCursor&) = delete;

    // Moves the cursor (and the anchor) to an index and selects it alone.
    virtual void MoveCursorTo(int32_t index) = 0;
    // Lays out what changed since the last layout, when anything did.
    virtual void RefreshIfDirty() = 0;
    // Ctrl+F, Ctrl+D or F3, Ctrl+S or Shift+F3: for list classes that
    // search; nothing by default.
    virtual void OnCtrlF() {}
    virtual void OnCtrlDOrF3() {}
    virtual void OnCtrlSOrShiftF3() {}
    virtual bool CursorReserved() { return false; }

    WinListBoxInfo& state;
    // The scroll position last notified.
    POINT reported{};
    // Left and Right do not scroll.
    bool keyScrollOff = false;
};

// How far above and below its rectangle a unit's drawing may reach.
struct WinInkReach {
    int32_t above = 0;
    int32_t below = 0;
    bool None() const { return above <= 0 && below <= 0; }
};

// Layout and painting steps, each given the memory DC.
class WinListBoxDraw {
public:
    explicit WinListBoxDraw(WinListBoxInfo& info);
    virtual ~WinListBoxDraw() = default;
    WinListBoxDraw(const WinListBoxDraw&) = delete;
    WinListBoxDraw& operator=(const WinListBoxDraw&) = delete;

    // ---- painting ----------------------------------------------------------------
    virtual void FillBackground(WinDrawContext& dc, const RECT& rect, COLORREF colour);
    // The whole paint rectangle and the scroll origin, before the items.
    virtual void SetPaintRect(WinDrawContext& dc, const RECT& rect, POINT origin);
    // The units, shifted by the scroll, to DrawItem, HiddenItem or
    // ItemOutsideClip; then the end row. While the layout is current only
    // the reachable units that meet the clip are visited (a paint costs
    // the screen, not the list); otherwise every unit.
    virtual void PaintItems(WinDrawContext& dc, const RECT& rect, POINT origin);
    void PaintPlacedItems(WinDrawContext& dc, const RECT& rect, int32_t dx, int32_t dy, WinInkReach reach);
    void PaintEveryItem(WinDrawContext& dc, const RECT& rect, int32_t dx, int32_t dy, WinInkReach reach);
    // DrawItem and DrawCursorFrame of a unit that meets the band, its drawing
    // cut at its rectangle widened by the reach.
    void PaintUnit(WinDrawContext& dc, const RECT& band, const RECT& shifted, int32_t index,
                   WinListBoxItemUnit& unit, WinInkReach reach);
    virtual void DrawItem(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit) = 0;
    virtual void HiddenItem(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit);
    virtual void ItemOutsideClip(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit);
    virtual void DrawHeader(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit);
    virtual void DrawSpecialItem(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit);
    // Frames the cursor item in blue and the marked one in red.
    virtual void DrawCursorFrame(WinDrawContext& dc, const RECT& rect, int32_t index);
    virtual void FillMargins(WinDrawContext& dc, const RECT& outer, const RECT& inner, const RECT& margins,
                             HBRUSH brush);
    virtual void DrawBandHead(WinDrawContext& dc, const RECT& rect, int32_t band);
    virtual void DrawBandTail(WinDrawContext& dc, const RECT& rect, int32_t band);
    // The last step of a paint.
    virtual void DrawOverlay(WinDrawContext& dc, const RECT& rect, POINT origin);
    // After a paint at the logical width was scaled onto the target
    // rectangle (`size` is the logical picture's size): what the list draws
    // over it at the window's own size. Nothing by default.
    virtual void DrawScaledOver(HDC target, const RECT& targetRect, SIZE size);
    // Marks the focus: a blue line along the top edge.
    virtual void FillArea(WinDrawContext& dc, const RECT& rect);
    // Whether a paint at the logical width keeps its picture for the next
    // one, which then moves it with the scroll and paints only the rows that
    // changed: each band through the same steps as a whole paint, with the
    // clip cut to it (PaintItems gets the band of the items' area and an
    // origin moved with the band's top). Off by default. A list may keep it
    // only when:
    //  - a unit draws inside its rectangle widened by InkReach, alike
    //    wherever it stands and wherever a clip cuts it;
    //  - the drawing depends on nothing but the unit, its selection, cursor
    //    and marked state, the layout, colours, font and mode, and
    //    PictureStamp;
    //  - nothing but the margins, the fixed header and the focus line stays
    //    with the window (no DrawOverlay, no floating or banded header).
    virtual bool KeepsPicture() const { return false; }
    // The list's own state that its painting depends on beyond that; a
    // change paints the whole picture again.
    virtual uint64_t PictureStamp() const { return 0; }
    // How far any unit's drawing may reach above and below its rectangle
    // (none by default: a unit draws inside it). A paint of a band draws
    // every unit whose rectangle widened by it meets the band, in list
    // order, each cut at its widened rectangle; a kept picture paints a
    // changed unit's rows widened by it. So a band shows what a whole paint
    // shows there, also where a unit's ink overlaps its neighbours' rows.
    virtual WinInkReach InkReach() const { return WinInkReach{}; }

    // ---- measuring ---------------------------------------------------------------
    // Selects the font and measures a sample row: the scroll steps.
    virtual void MeasureRow(WinDrawContext& dc, SIZE& size) = 0;
    virtual void BeginMeasure(WinDrawContext& dc, int32_t count);
    // Width and height of one item into `size` (given the client size).
    virtual void MeasureItem(WinDrawContext& dc, RECT& size, int32_t index, WinListBoxItemUnit& unit) = 0;
    virtual void EndMeasure(WinDrawContext& dc, SIZE& content, int32_t count);
    // True when the unit is not measured yet, and marks it measured.
    virtual bool FirstPaint(WinListBoxItemUnit& unit);

    // The fill of a unit: background, or the selection colour.
    COLORREF ItemColor(const WinListBoxItemUnit& unit) const;

    static constexpr COLORREF kCursorFrame = RGB(0x00, 0x00, 0xFF);
    static constexpr COLORREF kMarkedFrame = RGB(0xFF, 0x40, 0x40);
    static constexpr COLORREF kFocusLine = RGB(0x00, 0x00, 0xFF);
    static constexpr COLORREF kSelectedFocus = RGB(0xC0, 0xD0, 0xFF);
    static constexpr COLORREF kSelectedNoFocus = RGB(0xE4, 0xEA, 0xFF);

    WinListBoxInfo& state;
    COLORREF background;
    COLORREF disabled;
};

class WinListBox : public WinView,
                   public WinListBoxBasic,
                   public WinListBoxInfo,
                   public WinListBoxAction,
                   public WinListBoxTarget,
                   public WinListBoxCursor,
                   public WinListBoxDraw {
public:
    WinListBox();
    ~WinListBox() override;

    // Makes the view a list: an owner-drawn "BUTTON" with a vertical scroll
    // bar, subclassed, margins of 1.
    void Construct();

    // ---- items -------------------------------------------------------------------
    // Empties the list; cursor, anchor and marked become none.
    void ClearItems();
    int32_t Count() const { return items.Count(); }
    // The unit at an index (-3: the end row); none outside the list.
    WinListBoxItemUnit* ItemAt(int32_t index);
    // Index under a client point.
    int32_t HitTest(POINT point);

    // ---- cursor and selection ------------------------------------------------
    void MoveCursorTo(int32_t index) override;
    // Cursor to an item, scrolled into view, selection unchanged.
    void SetCursor(int32_t index);
    void ToggleSelect(int32_t index);
    // Selects from the anchor to the index.
    void SelectIndex(int32_t index);
    void SelectAll();
    void ClearSelection();
    // The same for the items only: the title and end rows keep theirs.
    void ClearItemSelection();
    void MarkRange(int32_t first, int32_t last);
    // Counts the selected units, copies each one's selected flag into its
    // counted flag; first and last are -1 when none.
    int32_t CountSelection(int32_t* first = nullptr, int32_t* last = nullptr);

    // ---- scrolling and layout ------------------------------------------------
    void ScrollIntoView(int32_t index);
    void ScrollToEnd();
    void ClampScroll();
    void UpdateScroll();
    // Whole rows that fit the content area.
    int32_t VisibleRows();
    // Lays out every unit (all) or only the unmeasured ones.
    void Layout(bool all);
    // Lays out again after only the units from index `first` on changed
    // (their items, heights or reachability) and units were added or taken
    // at the end only: units before `first` stand where the last layout put
    // them. When the count did not change and the units from `stable` on
    // did not either, the layout ends where they still stand. Lays out the
    // whole list where the last layout cannot be built on (units not
    // reachable then, or the widest unit among those changed). The caller
    // checked that the last layout was current before the change.
    void RelayoutFrom(int32_t first, int32_t stable);
    // Parts of a layout: the client rectangle (and the items' area), and
    // the placed units' count, ends and content size.
    void LayoutClient(int32_t& clientWidth, int32_t& clientHeight);
    void FinishLayout(WinDrawContext& dc, int32_t count, int32_t width, int32_t y, int32_t clientWidth);
    // Puts a unit at height y: measured again when `all` or when it was not
    // measured yet, else of the height it had.
    void PlaceUnit(WinDrawContext& dc, WinListBoxItemUnit& unit, int32_t index, int32_t y, bool all, SIZE client);
    virtual void RefreshNoPaint();
    virtual void Refresh();
    void RefreshIfDirty() override;

    // ---- operations of list classes --------------------------------------------
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void OnContextMenu(POINT point, int32_t index);
    virtual bool OnItemClick(POINT point, int32_t index);
    virtual bool OnItemDoubleClick(POINT point, int32_t index);
    virtual bool CanContextMenu(POINT point, int32_t index);

    // The average character width and line height of the selected font.
    static void MeasureSampleRow(WinDrawContext& dc, SIZE& size);
    // Paints the list into a DC as a memory copy of a window rectangle;
    // the whole paint path without a window message.
    void Paint(HDC target, const RECT& itemRect, bool disabledLook);
    // The next paint paints the whole picture (a list that keeps it and
    // changed what it shows in a way the toolkit does not see).
    void ForgetPicture();

private:
    void OnKey(WPARAM key);
    void OnScroll(bool vertical, WPARAM request);
    void OnWheel(WPARAM wParam);
    void OnLeftButton(POINT point, WPARAM keys);
    void Zoom(int32_t direction);
    void Step(int32_t from, int32_t direction);
    void ScrollBy(bool vertical, int32_t delta);
    void AfterMove();
    void Invalidate();
    int32_t MaxScroll(bool vertical) const;
    // A scroll position that cuts a row of one line (no taller than the
    // line step) at the view's top moves down to the next row's top: a list
    // of such rows shows whole rows and leaves less than a line empty below
    // its last one. A taller row stays cut, so that a move to a unit ends
    // the unit at the view's foot.
    LONG WholeRowAt(LONG top) const;
    void PaintHeader(WinDrawContext& dc, const RECT& inner, HBRUSH brush);
    void PaintBands(WinDrawContext& dc, const RECT& inner);
    // The rows [top, bottom) of a picture of the size: background, items,
    // header, margins, bands, overlay and focus line, with the clip cut to
    // the rows when they are not the whole (the DC has no clip before);
    // `first` for the first rows of a paint (SetPaintRect goes with them).
    void PaintRows(WinDrawContext& memory, SIZE size, COLORREF fill, int32_t top, int32_t bottom, bool first);
    // A paint into the kept picture; false when it cannot be made.
    bool PaintKept(HDC target, const RECT& itemRect, SIZE size, COLORREF fill);
    // What a picture depends on besides its units and the scroll.
    std::vector<int64_t> PictureScene(COLORREF fill, SIZE size, WinInkReach ink) const;
    // The units whose ink meets the items' area (content rows [top,
    // bottom)) and their first and last positions in `placed`.
    std::vector<WinPictureUnit> ShownUnits(int32_t top, int32_t bottom, WinInkReach reach, int32_t& first,
                                           int32_t& last) const;

    std::unique_ptr<WinListBoxPicture> picture_;
};

// A list of items of type T: units are made by the list, drawing and
// measuring go to the typed operations.
template <typename T>
class WinListBoxR : public WinListBox {
public:
    // Appends an item (not owned); sets layout pending.
    WinListBoxItemUnit* AddItem(T* item) {
        WinListBoxItemUnit* unit = creater ? creater->Make() : new WinListBoxItemUnit();
        unit->item = item;
        items.Add(unit);
        ++WinWorkCounts::Instance().listUnitsMade;
        layoutPending = 1;
        return unit;
    }
    static T* ItemOf(const WinListBoxItemUnit& unit) { return static_cast<T*>(unit.item); }

    virtual void DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit,
                            T* item) = 0;
    virtual void MeasureItemOf(WinDrawContext& dc, RECT& size, int32_t index, WinListBoxItemUnit& unit,
                               T* item) = 0;

    void DrawItem(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit) override {
        DrawItemOf(dc, rect, index, unit, ItemOf(unit));
    }
    void MeasureItem(WinDrawContext& dc, RECT& size, int32_t index, WinListBoxItemUnit& unit) override {
        MeasureItemOf(dc, size, index, unit, ItemOf(unit));
    }
    // The sample row: the average character width and the line height of
    // the font the layout selected.
    void MeasureRow(WinDrawContext& dc, SIZE& size) override { MeasureSampleRow(dc, size); }
};

}  // namespace WinLayer
