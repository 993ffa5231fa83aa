// The tab bar: a one-row strip of tabs drawn by the toolkit on a
// subclassed owner-drawn "BUTTON". Each tab shows a text and a close
// glyph, the current tab opens onto the line under the strip, the strip
// scrolls when the tabs are wider than the bar, an optional extra glyph (a
// plus sign) follows the last tab, and a tab can be dragged to a new place
// (press with Ctrl, Shift or Alt and move; a plain press pans the strip)
// while a half-transparent copy follows the mouse. Tabs carry an opaque
// pointer of the owner.
//
// The geometry (tab extents, glyph size, extra-glyph rectangle) is computed
// in one step that painting and hit tests both read. The bar removes a tab
// only after the current tab, the drop place and the drag no longer refer
// to it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/drag_control.h"
#include "toolkit/draw.h"
#include "toolkit/enter_control.h"
#include "toolkit/view.h"

namespace WinLayer {

struct WinTabBarItemUnit {
    enum : uint16_t {
        // The bar has the focus (the current tab's last paint).
        ItemFocus = 0x1,
        ItemCurrent = 0x2,
        // The place a dragged tab would be dropped at.
        ItemDropPlace = 0x4,
        ItemNoClose = 0x8,
        // Recomputed at every paint.
        ItemPaintFlags = 0xF,
        // The text has a grey shadow.
        ItemShadow = 0x100,
        // The close glyph is grey only and cannot be hit.
        ItemCloseDisabled = 0x200,
    };

    uint16_t flags = 0;
    RawLayer::RawString text;
    // Extent in strip coordinates; 0, 0 until laid out.
    int32_t left = 0;
    int32_t right = 0;
    COLORREF textColour = 0;
    // The owner's data, never touched by the bar.
    void* data = nullptr;
};

class WinTabBarItemListAllocator : public RawLayer::RawListDeleteAllocator<WinTabBarItemUnit> {};
class WinTabBarItemList : public RawLayer::RawListR<WinTabBarItemListAllocator, WinTabBarItemUnit> {};

class WinTabBar;

// The bar's answers to the drag hook.
class WinTabBarDrag : public WinDragControl {
public:
    explicit WinTabBarDrag(WinTabBar& owningBar);
    bool CanMove() override;
    void MoveState(bool started) override;
    void MoveBy(int32_t dx, int32_t dy) override;
    bool CanDrag() override;
    void DragState(bool on, POINT pressed) override;
    int32_t ItemAt(POINT point) override;
    int32_t OutsideItem() override;
    bool CanDragItem(int32_t index) override;
    bool CanDropAt(int32_t index) override;
    void SetDropTarget(int32_t index) override;
    void AutoScroll(POINT point, const RECT& client) override;
    void Drop(int32_t dropEffect, int32_t targetIndex, int32_t sourceIndex) override;

private:
    WinTabBar& bar_;
};

// The bar's answer to the enter hook: the mouse left.
class WinTabBarEnter : public WinEnterControl {
public:
    explicit WinTabBarEnter(WinTabBar& owningBar);
    void OnMouseLeave(WPARAM keys, POINT point) override;

private:
    WinTabBar& bar_;
};

class WinTabBar : public WinView {
public:
    // Parts of the bar a point can hit.
    enum : int32_t {
        HitBody = 0,
        HitClose = 1,
        HitExtra = 2,
    };
    static constexpr int32_t kStripStart = 3;
    // Delay of the enter hook's hover.
    static constexpr uint32_t kHoverMs = 500;

    WinTabBar();
    ~WinTabBar() override;

    // Makes the view a tab bar: class "BUTTON", subclassed, owner-drawn,
    // text at the left and centred vertically, margins 4, 3, 2, 4, its
    // hooks on the hook list, no current tab.
    void Construct();

    // ---- items ----------------------------------------------------------------
    static void InitItem(WinTabBarItemUnit& item);
    // Appends a new tab.
    WinTabBarItemUnit* AddItem(const RawLayer::RawString& caption, void* data);
    WinTabBarItemUnit* NextItem(const WinTabBarItemUnit* item) const;
    WinTabBarItemUnit* FindItemByData(const void* data) const;
    int32_t Count() const { return items.Count(); }
    WinTabBarItemUnit* ItemAtIndex(int32_t index) const { return items.At(index); }
    int32_t IndexOfItem(const WinTabBarItemUnit* item) const { return items.IndexOf(item); }
    // Puts the tab at the source index in front of the tab at the target
    // index (at the end for a negative or too large target).
    void MoveItem(int32_t targetIndex, int32_t sourceIndex);
    // Makes the tab after the item current, or the one before when it is
    // the last, without notification; false with fewer than two tabs.
    bool SelectNeighbour(WinTabBarItemUnit* item);

    // ---- operations of bar classes --------------------------------------------
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The right button or the Down key on a tab (or none); nothing by
    // default.
    virtual void OnContextMenu(POINT point, WinTabBarItemUnit* item);
    // Makes the item current, scrolls it into view and notifies 0x1008.
    virtual void SelectTab(WinTabBarItemUnit* item);
    // Takes the item out (a neighbour becomes current first when it was
    // current), frees it and notifies 0x1009.
    virtual void RemoveTab(WinTabBarItemUnit* item);
    // A dragged tab was dropped with an effect on a target index (-2: on
    // the strip past the tabs); nothing in the bar itself.
    virtual void Drop(int32_t dropEffect, int32_t targetIndex, int32_t sourceIndex);

    // ---- geometry -----------------------------------------------------------------
    // Gives every tab without a width its width from its text.
    void Layout();
    // Lays out and computes the glyph size and the extra glyph's rectangle
    // for a paint area; keeps the offset within the strip.
    void UpdateGeometry(const RECT& area);
    // Fills the hit record for a client point.
    void HitTest(POINT point);
    // The tab whose extent holds a strip x, or none; its index through
    // `index` (-1 for none).
    WinTabBarItemUnit* ItemAtStripX(int32_t x, int32_t* index = nullptr) const;

    // ---- painting --------------------------------------------------------------
    void Paint(WinDrawContext& dc, const RECT& area, bool focus);
    void PaintItem(WinDrawContext& dc, const RECT& area, WinTabBarItemUnit& item);
    void PaintDragImage(WinDrawContext& dc, const RECT& area);

    WinTabBarDrag& DragPart() { return drag_; }
    WinTabBarEnter& EnterPart() { return enter_; }

    WinTabBarItemList items;
    WinTabBarItemUnit* current = nullptr;
    // The strip x shown at the bar's left edge.
    int32_t offset = 0;
    int32_t totalWidth = kStripStart;
    // Width kept for the extra glyph; 0 while it is hidden.
    int32_t reservedWidth = 0;
    bool dragging = false;
    int32_t hoverIndex = -1;
    int32_t grabOffset = 0;
    bool dragArmed = false;
    // A plain press pans the strip (true) or drags the pressed tab.
    bool pansOnPress = true;
    int32_t panAnchor = 0;
    // The hit record.
    WinTabBarItemUnit* hitItem = nullptr;
    int32_t hitPart = HitBody;
    int32_t glyphWidth = 0;
    int32_t glyphHeight = 0;
    RECT extraRect{};
    uint8_t extraShown = 0;
    // The last mouse position; -1, -1 after the mouse left the bar.
    POINT mouse{-1, -1};

private:
    void OnKey(WPARAM key);
    void OnPress(POINT point);
    void ClientArea(RECT& client) const;

    WinTabBarDrag drag_;
    WinTabBarEnter enter_;
};

}  // namespace WinLayer
