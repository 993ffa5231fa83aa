// The shared popup-menu record and PopupMenuAt.
//
// A popup menu is built item by item at the end (a separator only after an
// entry, never two in a row or one at the start), shown at a client point
// of a view, and the chosen entry comes back to the view as the menu
// command message (0x8003) with the caller's value. Copies of a record
// share one menu under a lock; the last holder destroys it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"

namespace WinLayer {

class WinView;

class WinPopupMenu {
public:
    WinPopupMenu();
    ~WinPopupMenu();
    WinPopupMenu(const WinPopupMenu& other);
    WinPopupMenu& operator=(const WinPopupMenu& other);

    // Destroys the menu and makes a new empty one; false when none could
    // be made.
    bool Reset();
    // Appends an entry with an id; '&' is shown as typed unless the text
    // marks a mnemonic on purpose (`mnemonic`).
    bool AppendItem(const RawLayer::RawString& text, UINT id, bool mnemonic = false);
    // Appends a separator, but only right after an entry.
    bool AppendSeparator();
    // Puts the check mark on the entry with the id.
    bool CheckItem(UINT id);

    HMENU Handle() const;
    int32_t ItemCount() const;
    // Whether the menu is being shown right now.
    bool IsOpen() const;
    void SetOpen(bool open);

private:
    struct Body;
    void Drop();
    Body* body_;
};

// Shows the menu at a client point of the view and waits for the choice.
// A chosen entry is posted to the view as WinMessage::MenuCommand (wParam
// the entry's id, lParam the value) and answers true; false when nothing
// was chosen.
bool PopupMenuAt(WinPopupMenu& menu, WinView& view, POINT point, LPARAM value);

// The text with every '&' doubled, so a menu shows it as typed.
RawLayer::RawString MenuText(const RawLayer::RawString& text);

}  // namespace WinLayer
