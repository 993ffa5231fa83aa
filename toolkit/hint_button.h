// The hint button: a small push button beside an edit box that opens a
// popup menu of prepared texts; choosing one puts it into the edit box.
// Without a caption it shows a drop-down triangle.
//
// The menu shows the hints as typed ('&' is doubled) and marks the one
// equal to the box's text; with Ctrl held only the hints containing that
// text are listed. A chosen id that matches no hint (a stale or forged
// menu command) leaves the box as it is.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "toolkit/button.h"
#include "toolkit/popup_menu.h"

namespace WinLayer {

class WinHintButton : public WinButton {
public:
    enum : uint16_t {
        // Each hint is shown as "key (value)" when it has a value.
        HintShowValue = 1,
    };

    // Down opens the hints as a click does.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The open code (with hints) opens the menu; then as a button.
    LRESULT OnCommand(uint16_t code) override;
    // A menu choice: the hint's key becomes the target's text; in an edit
    // box as one edit its Undo takes back.
    LRESULT OnMenuCommand(WPARAM command, LPARAM value) override;
    // Square without a caption.
    void FitToText(RECT& rect) override;
    void DrawFace(WinDrawContext& dc, RECT& textRect, uint32_t faceFlags) override;

    // Builds the menu and shows it below the target; false when there is
    // nothing to show.
    bool ShowHints();

    // The view whose text the hints fill in.
    WinView* target = nullptr;
    uint32_t openCode = 0;
    uint32_t chosenCode = 0;
    WinPopupMenu menu;
    uint16_t hintOptions = 0;
    // The hints: key, value, and the menu id in the unit's number. The
    // list's case flag decides how the box's text is matched.
    RawLayer::RawParameterList hints;
    SIZE symbolSize{};

private:
    // Fills the menu; the number of entries.
    int32_t FillMenu(const RawLayer::RawString& filter);
};

}  // namespace WinLayer
