// The tip part of the table of contents: the full text of the heading under
// the resting mouse in a tip window on its own thread, kept while the mouse
// stays within 5 pixels of where it rested, and closed (its thread joined)
// on any larger move, on leaving, on scrolling, on a change of document and
// when the main window loses the activation.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "quenby/app/tip_dialog.h"

namespace AppLayer {

class GuiTreeTip {
public:
    // The longest the tree waits for the tip's window, and for its thread
    // to end.
    static constexpr DWORD kStartLimitMs = 2000;
    static constexpr DWORD kJoinLimitMs = 2000;
    // A move of at most this many pixels on each axis keeps the tip.
    static constexpr int32_t kKeepDistance = 5;

    GuiTreeTip() = default;
    ~GuiTreeTip();

    // Shows the text of an item at the cursor; the tip takes a new text
    // whenever the item differs from the one shown. False when no tip
    // window could be made.
    bool ShowTip(int32_t item, const RawLayer::RawString& text, POINT clientPoint);
    // A mouse move to a client point: a move beyond the keeping distance
    // closes the tip. True when a tip was closed.
    bool MoveTip(POINT clientPoint);
    // Ends a shown tip and joins its thread (bounded).
    void CloseTip();
    bool TipShown() const { return tip.WindowRunning(); }

    WinLayer::WinTipDialog tip;
    POINT hoverPoint{};
    bool tipTextChanged = true;
    // The item whose text the tip holds; -1 for none.
    int32_t tipItem = -1;
};

}  // namespace AppLayer
