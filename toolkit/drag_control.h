// The drag hook: turns presses and drags on a view into a move of the
// view's content (a plain press, when the view allows it) or a drag and
// drop of one of its items (a press with Ctrl, Shift or Alt, or any press
// when moving is not allowed), with a drop effect from Ctrl and Shift.
//
// The view answers the questions through the virtual operations; the hook
// keeps the state. The mouse is captured from the press on, and the drag
// ends without a drop when the button turns out to be up, when the capture
// is lost (a dialog or menu opened meanwhile) or on Escape, so it never
// stays armed for a later click. A view that carries the hook should leave
// Escape to it while Busy().
#pragma once

#include <windows.h>

#include <cstdint>

#include "toolkit/view.h"

namespace WinLayer {

class WinDragControl : public WinViewHook {
public:
    enum : int32_t {
        StateIdle = 0,
        StateMoving = 1,
        StatePressed = 2,
        StateDragging = 3,
    };
    // The mouse must travel more than this far from the press on one axis
    // before an item drag starts.
    static constexpr int32_t kDragThreshold = 5;

    explicit WinDragControl(WinView& dragged) : view(dragged) {}

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Ends a move or drag without a drop and puts the cursor back.
    void Cancel();
    bool Busy() const { return state != StateIdle; }

    // ---- moving the content ------------------------------------------------
    // Whether a plain press starts a move; false by default.
    virtual bool CanMove();
    // A move begins (true) or ends.
    virtual void MoveState(bool started);
    // The offset of the mouse from the press point.
    virtual void MoveBy(int32_t dx, int32_t dy);

    // ---- dragging an item --------------------------------------------------
    // Whether items may be dragged now; false by default.
    virtual bool CanDrag();
    // A drag begins (true) or ends, with the press point.
    virtual void DragState(bool on, POINT press);
    // The drop effect changed; nothing by default.
    virtual void EffectChanged(int32_t newEffect);
    // 1 with neither Ctrl nor Shift, 3 with both, 2 with one.
    virtual int32_t DropEffect(bool ctrl, bool shift, bool alt);
    // The item under a client point; -1 by default.
    virtual int32_t ItemAt(POINT point);
    // The target for a point outside the view; -1 by default.
    virtual int32_t OutsideItem();
    virtual bool CanDragItem(int32_t index);
    virtual bool CanDropAt(int32_t index);
    // Shows the target the drop would go to.
    virtual void SetDropTarget(int32_t index);
    // Scrolls the view when the point is near its edges.
    virtual void AutoScroll(POINT point, const RECT& client);
    // Performs the drop.
    virtual void Drop(int32_t dropEffect, int32_t targetIndex, int32_t sourceIndex);

    WinView& view;
    int32_t state = StateIdle;
    int32_t effect = 0;
    int32_t source = -1;
    int32_t target = -1;
    POINT press{};
    // The cursor shown before the drag changed it (null while unchanged),
    // and the cursors shown without and with a drop effect (set by the
    // view; null shows nothing new).
    HCURSOR previousCursor = nullptr;
    HCURSOR noDropCursor = nullptr;
    HCURSOR dropCursor = nullptr;

private:
    void OnPress(POINT point);
    void OnMove(POINT point);
    void OnRelease(POINT point);
    // Announces and shows a new effect.
    void ShowEffect(int32_t newEffect);
    void RestoreCursor();
    void ReleaseMouse();
    void Repaint();
};

}  // namespace WinLayer
