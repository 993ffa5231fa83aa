// The tree's tip.
#include "quenby/app/tree_tip.h"

#include "toolkit/win_message.h"

namespace AppLayer {

namespace {

// The tip stands below the cursor's hot spot by two thirds of a cursor.
int32_t CursorOffset() {
    static const int32_t offset = GetSystemMetrics(SM_CYCURSOR) * 2 / 3;
    return offset;
}

}  // namespace

GuiTreeTip::~GuiTreeTip() { CloseTip(); }

bool GuiTreeTip::ShowTip(int32_t item, const RawLayer::RawString& text, POINT clientPoint) {
    hoverPoint = clientPoint;
    if (item != tipItem) tipTextChanged = true;
    if (tipTextChanged) {
        tipTextChanged = false;
        tipItem = item;
        tip.Place(text);
    }
    if (!tip.WindowRunning()) {
        if (!tip.StartWindow(kStartLimitMs)) {
            // A thread that gave up is joined before the next attempt.
            tip.EndWindow(kJoinLimitMs);
            tipTextChanged = true;
            return false;
        }
    } else {
        PostMessageW(tip.RunningWindow(), WinLayer::WinMessage::BringToFront, 0, 0);
    }
    const HWND shown = tip.RunningWindow();
    if (!shown) return false;
    POINT cursor{};
    GetCursorPos(&cursor);
    SetWindowPos(shown, HWND_TOPMOST, cursor.x, cursor.y + CursorOffset(), tip.windowSize.cx, tip.windowSize.cy,
                 SWP_NOACTIVATE);
    return true;
}

bool GuiTreeTip::MoveTip(POINT clientPoint) {
    const int32_t dx = clientPoint.x - hoverPoint.x;
    const int32_t dy = clientPoint.y - hoverPoint.y;
    if (dx >= -kKeepDistance && dx <= kKeepDistance && dy >= -kKeepDistance && dy <= kKeepDistance) return false;
    if (!tip.WindowRunning() && !tip.IsRunning()) return false;
    CloseTip();
    return true;
}

void GuiTreeTip::CloseTip() {
    if (tip.WindowRunning() || tip.IsRunning()) tip.EndWindow(kJoinLimitMs);
}

}  // namespace AppLayer
