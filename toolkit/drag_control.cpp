// The drag hook.
#include "toolkit/drag_control.h"

#include <cstdlib>

#include "toolkit/environment.h"

namespace WinLayer {

LRESULT WinDragControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        OnPress(PointFromLParam(lParam));
        break;
    case WM_MOUSEMOVE:
        // A move without the button means the release went elsewhere.
        if (state != StateIdle && !(wParam & MK_LBUTTON)) {
            Cancel();
        } else {
            OnMove(PointFromLParam(lParam));
        }
        break;
    case WM_LBUTTONUP:
        OnRelease(PointFromLParam(lParam));
        break;
    case WM_CAPTURECHANGED:
        if (state != StateIdle && reinterpret_cast<HWND>(lParam) != view.window) Cancel();
        break;
    case WM_KEYDOWN:
        if (state != StateIdle && wParam == VK_ESCAPE) {
            Cancel();
            return 0;
        }
        [[fallthrough]];
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        if (state == StateDragging && effect != 0) {
            ShowEffect(DropEffect(KeyHeld(VK_CONTROL), KeyHeld(VK_SHIFT), KeyHeld(VK_MENU)));
        }
        break;
    default:
        break;
    }
    return kNotHandled;
}

void WinDragControl::OnPress(POINT point) {
    if (state != StateIdle) Cancel();
    const bool modified = KeyHeld(VK_CONTROL) || KeyHeld(VK_SHIFT) || KeyHeld(VK_MENU);
    if (!modified && CanMove()) {
        state = StateMoving;
        press = point;
        MoveState(true);
    } else if (CanDrag()) {
        source = ItemAt(point);
        if (!CanDragItem(source)) return;
        state = StatePressed;
        press = point;
        effect = 0;
    } else {
        return;
    }
    if (view.window) SetCapture(view.window);
}

void WinDragControl::OnMove(POINT point) {
    switch (state) {
    case StateMoving:
        MoveBy(point.x - press.x, point.y - press.y);
        Repaint();
        break;
    case StatePressed:
        if (std::abs(point.x - press.x) > kDragThreshold || std::abs(point.y - press.y) > kDragThreshold) {
            if (view.window && GetCapture() != view.window) SetCapture(view.window);
            state = StateDragging;
            EffectChanged(effect);
            DragState(true, press);
        }
        break;
    case StateDragging: {
        RECT client{};
        if (view.window) GetClientRect(view.window, &client);
        target = PtInRect(&client, point) ? ItemAt(point) : OutsideItem();
        SetDropTarget(target);
        ShowEffect(CanDropAt(target) ? DropEffect(KeyHeld(VK_CONTROL), KeyHeld(VK_SHIFT), KeyHeld(VK_MENU)) : 0);
        AutoScroll(point, client);
        break;
    }
    default:
        break;
    }
}

void WinDragControl::OnRelease(POINT point) {
    const int32_t was = state;
    // Idle before the capture goes, so its loss is no cancel.
    state = StateIdle;
    if (was == StateIdle) return;
    ReleaseMouse();
    if (was == StateMoving) {
        MoveBy(point.x - press.x, point.y - press.y);
        MoveState(false);
    } else if (was == StateDragging) {
        DragState(false, press);
        SetDropTarget(OutsideItem());
        RestoreCursor();
        const int32_t dropped = effect;
        effect = 0;
        if (dropped != 0) Drop(dropped, target, source);
    }
    Repaint();
}

void WinDragControl::Cancel() {
    const int32_t was = state;
    state = StateIdle;
    if (was == StateIdle) return;
    ReleaseMouse();
    if (was == StateMoving) MoveState(false);
    if (was == StateDragging) {
        DragState(false, press);
        SetDropTarget(OutsideItem());
    }
    RestoreCursor();
    effect = 0;
    Repaint();
}

void WinDragControl::ShowEffect(int32_t newEffect) {
    if (newEffect == effect) return;
    effect = newEffect;
    EffectChanged(newEffect);
    if (!previousCursor) previousCursor = GetCursor();
    const HCURSOR shown = newEffect ? dropCursor : noDropCursor;
    if (shown) SetCursor(shown);
}

void WinDragControl::RestoreCursor() {
    if (previousCursor) SetCursor(previousCursor);
    previousCursor = nullptr;
}

void WinDragControl::ReleaseMouse() {
    if (view.window && GetCapture() == view.window) ReleaseCapture();
}

void WinDragControl::Repaint() {
    if (view.window) InvalidateRect(view.window, nullptr, FALSE);
}

bool WinDragControl::CanMove() { return false; }
void WinDragControl::MoveState(bool) {}
void WinDragControl::MoveBy(int32_t, int32_t) {}
bool WinDragControl::CanDrag() { return false; }
void WinDragControl::DragState(bool, POINT) {}
void WinDragControl::EffectChanged(int32_t) {}

int32_t WinDragControl::DropEffect(bool ctrl, bool shift, bool) {
    if (ctrl && shift) return 3;
    return (ctrl || shift) ? 2 : 1;
}

int32_t WinDragControl::ItemAt(POINT) { return -1; }
int32_t WinDragControl::OutsideItem() { return -1; }
bool WinDragControl::CanDragItem(int32_t) { return false; }
bool WinDragControl::CanDropAt(int32_t) { return false; }
void WinDragControl::SetDropTarget(int32_t) {}
void WinDragControl::AutoScroll(POINT, const RECT&) {}
void WinDragControl::Drop(int32_t, int32_t, int32_t) {}

}  // namespace WinLayer
